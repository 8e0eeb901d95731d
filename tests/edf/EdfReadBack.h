#pragma once

// Recordings read back the way other programs read them: EDFlib's own reader (the strict one,
// which opens EDF+C and BDF+C files only), and for a discontinuous file a plain reading of its
// bytes from the format's description, independent of the program's code.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

#include <edflib.h>

namespace kelvaro::testing {

struct ReadSignal {
  std::string label;
  std::string unit;
  int samplesPerRecord = 0;
  std::vector<double> physical;
};

struct ReadAnnotation {
  double onsetSeconds = 0.0;    // after the first sample
  double durationSeconds = -1;  // -1: none
  std::string text;
};

// What EDFlib's reader makes of a file. filetype is EDFLIB_FILETYPE_* or its (negative) error.
struct EdflibReadBack {
  int filetype = 0;
  long long records = 0;
  long long recordDuration = 0;  // EDFLIB_TIME_DIMENSION units
  std::string patient;           // the patient field's name subfield, "_" read as blanks
  std::string equipment;
  std::string recordingAdditional;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  long long subsecond = 0;  // EDFLIB_TIME_DIMENSION units
  std::vector<ReadSignal> signalList;
  std::vector<ReadAnnotation> annotations;
};

inline EdflibReadBack readWithEdflib(const QString& path) {
  EdflibReadBack r;
  edf_hdr_struct hdr{};
  const QByteArray name = QFile::encodeName(path);
  if (edfopen_file_readonly(name.constData(), &hdr, EDFLIB_READ_ALL_ANNOTATIONS) != 0) {
    r.filetype = hdr.filetype;
    return r;
  }
  r.filetype = hdr.filetype;
  r.records = hdr.datarecords_in_file;
  r.recordDuration = hdr.datarecord_duration;
  r.patient = QByteArray(hdr.patient_name).trimmed().toStdString();
  r.equipment = QByteArray(hdr.equipment).trimmed().toStdString();
  r.recordingAdditional = QByteArray(hdr.recording_additional).trimmed().toStdString();
  r.year = hdr.startdate_year;
  r.month = hdr.startdate_month;
  r.day = hdr.startdate_day;
  r.hour = hdr.starttime_hour;
  r.minute = hdr.starttime_minute;
  r.second = hdr.starttime_second;
  r.subsecond = hdr.starttime_subsecond;
  for (int i = 0; i < hdr.edfsignals; ++i) {
    const auto& p = hdr.signalparam[i];
    ReadSignal s;
    s.label = QByteArray(p.label).trimmed().toStdString();
    s.unit = QByteArray(p.physdimension).trimmed().toStdString();
    s.samplesPerRecord = p.smp_in_datarecord;
    s.physical.resize(static_cast<std::size_t>(p.smp_in_file));
    if (p.smp_in_file > 0) {
      edfread_physical_samples(hdr.handle, i, static_cast<int>(p.smp_in_file), s.physical.data());
    }
    r.signalList.push_back(std::move(s));
  }
  for (long long i = 0; i < hdr.annotations_in_file; ++i) {
    edf_annotation_struct a{};
    if (edf_get_annotation(hdr.handle, static_cast<int>(i), &a) != 0) continue;
    ReadAnnotation ra;
    // EDFlib gives onsets from the file's start (its subsecond start time taken off).
    ra.onsetSeconds = double(a.onset) / EDFLIB_TIME_DIMENSION;
    ra.durationSeconds = a.duration[0] ? QByteArray(a.duration).toDouble() : -1.0;
    ra.text = a.annotation;
    r.annotations.push_back(ra);
  }
  edfclose_file(hdr.handle);
  return r;
}

// A BDF+ file read from its bytes: the reserved field, each record's start (the first annotation
// signal's time-keeping list), every annotation and the digital samples of the ordinary signalList.
struct RawBdf {
  bool valid = false;
  std::string reserved;  // "BDF+C" or "BDF+D"
  std::string patientField;
  std::string recordingField;
  long long records = 0;
  std::vector<double> recordOnsets;         // seconds after the header's start time
  std::vector<ReadAnnotation> annotations;  // onsets after the header's start time
  std::vector<std::string> labels;          // ordinary signalList only
  std::vector<std::vector<std::int32_t>> digital;
};

inline RawBdf readBdfBytes(const QString& path) {
  RawBdf r;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return r;
  const QByteArray all = file.readAll();
  if (all.size() < 256 || static_cast<unsigned char>(all[0]) != 0xFF) return r;
  const auto field = [&all](int at, int width) { return all.mid(at, width).trimmed(); };
  r.reserved = field(192, 44).left(5).toStdString();
  r.patientField = field(8, 80).toStdString();
  r.recordingField = field(88, 80).toStdString();
  r.records = field(236, 8).toLongLong();
  const int ns = field(252, 4).toInt();
  const int headerBytes = 256 * (ns + 1);
  std::vector<int> samples(static_cast<std::size_t>(ns));
  std::vector<bool> annotation(static_cast<std::size_t>(ns));
  int recordBytes = 0;
  for (int i = 0; i < ns; ++i) {
    samples[static_cast<std::size_t>(i)] = field(256 + ns * 216 + 8 * i, 8).toInt();
    const QByteArray label = field(256 + 16 * i, 16);
    annotation[static_cast<std::size_t>(i)] = label == "BDF Annotations";
    if (!annotation[static_cast<std::size_t>(i)]) {
      r.labels.push_back(label.toStdString());
      r.digital.emplace_back();
    }
    recordBytes += samples[static_cast<std::size_t>(i)] * 3;
  }
  for (long long rec = 0; rec < r.records; ++rec) {
    int at = headerBytes + static_cast<int>(rec) * recordBytes;
    bool firstAnnotation = true;
    std::size_t ordinary = 0;
    for (int i = 0; i < ns; ++i) {
      const int bytes = samples[static_cast<std::size_t>(i)] * 3;
      const QByteArray block = all.mid(at, bytes);
      if (annotation[static_cast<std::size_t>(i)]) {
        // TALs: "+onset[\x15duration]\x14text\x14...\x14\0"
        const QList<QByteArray> tals = block.split('\0');
        bool firstTal = true;
        for (const QByteArray& tal : tals) {
          if (tal.isEmpty()) continue;
          const QList<QByteArray> parts = tal.split('\x14');
          const QList<QByteArray> timing = parts[0].split('\x15');
          const double onset = timing[0].toDouble();
          if (firstAnnotation && firstTal) {
            r.recordOnsets.push_back(onset);
          }
          for (int t = 1; t < parts.size(); ++t) {
            if (parts[t].isEmpty()) continue;
            ReadAnnotation a;
            a.onsetSeconds = onset;
            a.durationSeconds = timing.size() > 1 ? timing[1].toDouble() : -1.0;
            a.text = parts[t].toStdString();
            r.annotations.push_back(a);
          }
          firstTal = false;
        }
        firstAnnotation = false;
      } else {
        for (int s = 0; s < samples[static_cast<std::size_t>(i)]; ++s) {
          const auto b = [&block, s](int k) {
            return static_cast<std::uint32_t>(static_cast<unsigned char>(block[3 * s + k]));
          };
          std::uint32_t v = b(0) | (b(1) << 8) | (b(2) << 16);
          if (v & 0x800000u) v |= 0xFF000000u;
          r.digital[ordinary].push_back(static_cast<std::int32_t>(v));
        }
        ++ordinary;
      }
      at += bytes;
    }
  }
  r.valid = true;
  return r;
}

}  // namespace kelvaro::testing
