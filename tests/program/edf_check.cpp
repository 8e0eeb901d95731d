// What EDFlib's reader makes of a recording, in one line for the program tests:
//   filetype=3 records=600 signals=7 labels=Force 1,Force 2,... samples=20 annotations=2 ...
// (filetype negative: EDFlib's error, -10 a discontinuous file, -3 format errors).
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <cstdio>

#include "edf/EdfReadBack.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: edf_check FILE\n");
    return 2;
  }
  const auto r = kelvaro::testing::readWithEdflib(QString::fromLocal8Bit(argv[1]));
  QStringList labels;
  int samples = 0;
  for (const auto& s : r.signalList) {
    labels << QString::fromStdString(s.label);
    samples = s.samplesPerRecord;
  }
  QStringList texts;
  for (const auto& a : r.annotations) texts << QString::fromStdString(a.text);
  std::printf("filetype=%d records=%lld signals=%d labels=%s samples=%d annotations=%d events=%s\n",
              r.filetype, r.records, static_cast<int>(r.signalList.size()),
              labels.join(QLatin1Char(',')).toUtf8().constData(), samples,
              static_cast<int>(r.annotations.size()),
              texts.join(QLatin1Char('|')).toUtf8().constData());
  return r.filetype >= 0 ? 0 : 1;
}
