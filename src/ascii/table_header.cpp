#include "ascii/table_header.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>

namespace sactab {

namespace {

constexpr std::int64_t microsecondsPerDay = 86'400'000'000;

std::string line(const char* key, const std::string& value)
{
    return std::string("# ") + key + ": " + value + "\n";
}

// A text field without its padding (blanks, or NULs as some writers pad);
// empty when undefined or when it holds anything but printable ASCII.
std::string text_field(const char (&field)[textFieldBytes])
{
    std::string text(field, textFieldBytes);
    const std::size_t end = text.find_last_not_of(std::string(" \0", 2));
    const std::size_t start = text.find_first_not_of(' ');
    text = end == std::string::npos ? "" : text.substr(start, end + 1 - start);
    for (const char c : text)
        if (c < 0x20 || c > 0x7E) return "";
    return text == "-12345" ? "" : text;
}

// The shortest text that reads back as the same float (34.9459, not
// 34.9458999; -120, not -1.2e+02).
std::string float_text(float value)
{
    char text[32];
    return {text, std::to_chars(text, text + sizeof text, value, std::chars_format::general).ptr};
}

std::string nine_digits(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

// A float header word in [lowest, highest], or none.
std::optional<float> in_range(float value, float lowest, float highest)
{
    if (value == undefinedValue || !(value >= lowest && value <= highest)) return std::nullopt;
    return value;
}

bool is_leap_year(std::int64_t year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar, and
// back (the civil-date algorithms of H. Hinnant).
std::int64_t days_from_civil(std::int64_t year, std::int64_t month, std::int64_t day)
{
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    return era * 146'097 + yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear - 719'468;
}

void civil_from_days(std::int64_t days, std::int64_t& year, std::int64_t& month, std::int64_t& day)
{
    days += 719'468;
    const std::int64_t era = (days >= 0 ? days : days - 146'096) / 146'097;
    const std::int64_t dayOfEra = days - era * 146'097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36'524 - dayOfEra / 146'096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    year = yearOfEra + era * 400 + (month <= 2);
}

// The reference time in microseconds since 1970, when every part is in range.
std::optional<std::int64_t> reference_microseconds(const RecordingFacts& facts)
{
    const bool inRange = facts.NZYEAR >= 1 && facts.NZYEAR <= 9999 && facts.NZJDAY >= 1 &&
                         facts.NZJDAY <= (is_leap_year(facts.NZYEAR) ? 366 : 365) && facts.NZHOUR >= 0 && facts.NZHOUR <= 23 &&
                         facts.NZMIN >= 0 && facts.NZMIN <= 59 && facts.NZSEC >= 0 && facts.NZSEC <= 59 && facts.NZMSEC >= 0 &&
                         facts.NZMSEC <= 999;
    if (!inRange) return std::nullopt;
    const std::int64_t days = days_from_civil(facts.NZYEAR, 1, 1) + facts.NZJDAY - 1;
    const std::int64_t seconds = std::int64_t{facts.NZHOUR} * 3600 + facts.NZMIN * 60 + facts.NZSEC;
    return days * microsecondsPerDay + seconds * 1'000'000 + std::int64_t{facts.NZMSEC} * 1000;
}

// "YYYY-MM-DDThh:mm:ss" with `decimals` (3 or 6) of the second, and "Z";
// empty outside the years 0 to 9999.
std::string iso_time(std::int64_t microseconds, int decimals)
{
    const std::int64_t days = microseconds >= 0 ? microseconds / microsecondsPerDay : -((-microseconds - 1) / microsecondsPerDay) - 1;
    const std::int64_t ofDay = microseconds - days * microsecondsPerDay;
    std::int64_t year = 0;
    std::int64_t month = 0;
    std::int64_t day = 0;
    civil_from_days(days, year, month, day);
    if (year < 0 || year > 9999) return "";
    const std::int64_t seconds = ofDay / 1'000'000;
    const std::int64_t fraction = decimals == 3 ? ofDay % 1'000'000 / 1000 : ofDay % 1'000'000;
    char text[96];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lld.%0*lldZ", static_cast<long long>(year),
                  static_cast<long long>(month), static_cast<long long>(day), static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60), decimals,
                  static_cast<long long>(fraction));
    return text;
}

// The reference time plus `offset` seconds, to the microsecond; empty where
// either is unknown or the sum leaves the years 0 to 9999.
std::string start_time(std::optional<std::int64_t> reference, double offset)
{
    if (!reference || !(std::fabs(offset) < 1e11)) return "";
    return iso_time(*reference + std::llround(offset * 1e6), 6);
}

std::string sid(const RecordingFacts& facts)
{
    const std::string parts[] = {text_field(facts.KNETWK), text_field(facts.KSTNM), text_field(facts.KHOLE), text_field(facts.KCMPNM)};
    if (parts[0].empty() && parts[1].empty() && parts[2].empty() && parts[3].empty()) return "";
    return parts[0] + "_" + parts[1] + "_" + parts[2] + "_" + parts[3];
}

// SAC's units of IDEP; some writers store SI units under the same codes.
std::string field_unit(std::int32_t idep)
{
    switch (idep) {
    case undefinedInteger: return "";
    case 6: return "nm";
    case 7: return "nm/s";
    case 8: return "nm/s^2";
    case 50: return "V";
    default: return "unknown";
    }
}

} // namespace

std::string table_header_lines(const TableHeader& header, double firstX)
{
    const RecordingFacts& facts = header.facts;
    const bool evenly = !is_unevenly_spaced();
    const std::optional<std::int64_t> reference = reference_microseconds(facts);
    std::string lines = line("source", header.source);
    const auto add = [&](const char* key, const std::string& value) {
        if (!value.empty()) lines += line(key, value);
    };
    const auto add_float = [&](const char* key, std::optional<float> value) {
        if (value) lines += line(key, float_text(*value));
    };
    add("SID", sid(facts));
    add("reference_time", reference ? iso_time(*reference, 3) : "");
    add("start_time", start_time(reference, firstX));
    if (evenly) {
        add("sample_interval_s", nine_digits(static_cast<double>(DELTA)));
        add("sample_rate_hz", nine_digits(1.0 / static_cast<double>(DELTA)));
    }
    add("sample_count", std::to_string(SACNPTS));
    add_float("latitude_deg", in_range(facts.STLA, -90, 90));
    add_float("longitude_deg", in_range(facts.STLO, -180, 360));
    add_float("elevation_m", in_range(facts.STEL, -12'000, 9'000));
    add("field_unit", field_unit(facts.IDEP));
    add("columns", !evenly ? "x, value" : reference ? "time in seconds after reference_time, value" : "time in seconds, value");
    return lines;
}

} // namespace sactab
