#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelvaro {

// Number and date texts as the program shows and stores them. The decimal separator is always
// ".", whatever the user's locale. Halves round away from zero.
//
// Rounding works on the value's decimal form with 15 significant digits, not on its binary form:
// 2.675 (stored as 2.67499999...) shows as "2.68" with "0.00", as a person reading the number
// expects. A negative value that rounds to zero shows without a minus sign ("0.00", not "-0.00").
namespace fmt {

// A compiled picture format ("0.000", "#0.00", "000", "####0 g", "(####0 ms)", "#,##0.##",
// "UN=0.000 V", "0.00E+00", ...):
//   '0'  a digit always shown          '#'  a digit shown when significant
//   '.'  the decimal point (the first one counts; shown only when decimals follow)
//   ','  thousands grouping with ","   'E+' 'E-' (also lower case) scientific notation; the '0's
//        after it give the minimum exponent digits, '+' shows the sign of positive exponents
//   "..." or '...' literal text        anything else: a literal character
// Integer digits beyond the placeholders are all shown; leading '#' do not pad. A minus sign goes
// in front of the whole text. Up to three sections separated by ';' format positive, negative and
// zero values: the negative section shows the magnitude without a minus sign, the zero section is
// used when the value rounds to zero with the first section; an empty or missing section falls
// back to the first. An empty picture gives formatGeneral(). NaN and infinities give "NAN",
// "INF" and "-INF".
// Compile a picture once where a value is formatted per notification: appendTo() does not
// allocate when the target string has room.
class Picture {
 public:
  explicit Picture(const QString& picture);

  QString format(double value) const;
  // Appends the text as UTF-8.
  void appendTo(std::string& out, double value) const;

 private:
  struct Token {
    enum class Kind { kLiteral, kIntegerDigit, kFractionDigit, kPoint, kExponent };
    Kind kind = Kind::kLiteral;
    std::string text;  // kLiteral: the text (UTF-8); kExponent: the letter and the sign
    int index = 0;     // kIntegerDigit, kFractionDigit: place from the left; kExponent: digits
  };
  struct Section {
    std::vector<Token> tokens;
    int integerPlaces = 0;  // placeholders before the point (a '#' is added when none is given)
    int givenIntegerPlaces = 0;  // the placeholders written before the point
    int integerZeros = 0;        // integer places from the first '0' on: digits always shown
    int decimalPlaces = 0;       // placeholders after the point
    int decimalZeros = 0;        // decimal places up to the last '0': digits always shown
    bool grouping = false;
    bool scientific = false;
  };

  static Section compileSection(const QString& text);
  static void appendSection(std::string& out, const Section& section, double magnitude, bool minus);
  static bool roundsToZero(const Section& section, double magnitude);

  std::vector<Section> sections_;
};

// Formats value with a picture format (see Picture); compiles the picture on every call.
QString formatFloat(const QString& picture, double value);

// The general real format of the settings file: up to 15 significant digits, fixed notation for
// magnitudes from 0.00001 below 1E15, otherwise scientific with the shortest mantissa and an
// exponent without "+" or leading zeros ("1.2E-6", "2.5E20"); integers have no decimal point;
// 0 gives "0"; NaN and infinities give "NAN", "INF", "-INF".
QString formatGeneral(double value);

// printf's "%W.Df": fixed point with `decimals` digits, padded on the left with blanks to
// `width` characters; a wider value is written in full. Rounds like the picture formats.
QString formatFixed(double value, int width, int decimals);
void appendFixed(std::string& out, double value, int width, int decimals);

// printf's "%Wd": signed decimal padded on the left with blanks to `width` characters.
QString formatInt(std::int64_t value, int width);
void appendInt(std::string& out, std::int64_t value, int width);

// Parses a real with "." as separator and optional exponent; blanks around it are allowed.
std::optional<double> parseReal(const QString& text);

// Parses a 32-bit integer: decimal with optional sign, or hexadecimal with "$" or "0x"/"0X"
// (after an optional sign). Hexadecimal takes up to 32 bits as the two's complement pattern, so
// "$FFFFFFFF" is -1. Blanks around it are allowed.
std::optional<std::int32_t> parseInteger(const QString& text);

// A byte as two upper-case hexadecimal digits ("0A").
QString hexByte(std::uint8_t byte);
void appendHexByte(std::string& out, std::uint8_t byte);

// Date and time pictures with the letters of the program's date/time formats, case-insensitive:
//   d dd (day) ddd dddd (English day name)   m mm (month) mmm mmmm (English month name)
//   yy yyyy (year)   h hh (hour)   n nn (minute)   s ss (second)   z zzz (millisecond)
//   am/pm a/p (12-hour clock with that marker)   '/' the date separator "."   ':' the time
//   separator ":"   "..." or '...' literal text; anything else is literal.
// An m or mm right after an h or hh (other letters count, separators do not) means minutes, so
// "HH:MM:SS DD.MM.YYYY" is hour:minute:second day.month.year. An invalid date-time gives "".
QString formatDateTime(const QString& picture, const QDateTime& dateTime);

// "HH:MM:SS DD.MM.YYYY", the session start of the history file.
QString formatDateTimeLong(const QDateTime& dateTime);
// "HH:MM DD.MM.YY", the label of a history point.
QString formatDateTimeShort(const QDateTime& dateTime);
// "HH:MM:SS" of a span: whole days are dropped and a negative span shows its magnitude.
QString formatTimeOfDay(std::int64_t milliseconds);

// Reads "H:M" or "H:M:S" (one or two digits each, hours 0..23); blanks around it are allowed.
std::optional<QTime> parseTime(const QString& text);
// Reads "D.M.Y" (day and month one or two digits, year up to four; a year of one or two digits
// means 2000 + year); blanks around it are allowed.
std::optional<QDate> parseDate(const QString& text);
// Reads the session start "HH:MM:SS DD.MM.YYYY" as a local date-time.
std::optional<QDateTime> parseDateTimeLong(const QString& text);

}  // namespace fmt
}  // namespace kelvaro
