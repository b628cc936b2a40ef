#include "cs_date.h"

#include <array>
#include <cstdio>

namespace {

constexpr std::array<const char*, 7> kWeekdays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool isLeap(int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int64_t year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : days[month - 1];
}

// Days from 1970-01-01 to the given proleptic Gregorian date.
int64_t daysFromCivil(int64_t year, int month, int day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void civilFromDays(int64_t days, int64_t& year, int& month, int& day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t mp = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = yearOfEra + era * 400 + (month <= 2);
}

int weekdayOf(int64_t days) {
    // 1970-01-01 was a Thursday.
    const int64_t w = (days + 4) % 7;
    return static_cast<int>(w < 0 ? w + 7 : w);
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// English names match regardless of letter case, as the fixed English locale reads them.
int nameIndex(std::string_view text, const char* const* names, int count) {
    for (int i = 0; i < count; ++i) {
        const std::string_view name = names[i];
        if (text.size() == name.size() && lower(text[0]) == lower(name[0]) &&
            lower(text[1]) == lower(name[1]) && lower(text[2]) == lower(name[2]))
            return i;
    }
    return -1;
}

class Cursor {
public:
    explicit Cursor(std::string_view text) : text_(text) {}

    bool literal(char c) {
        if (pos_ >= text_.size() || text_[pos_] != c)
            return false;
        ++pos_;
        return true;
    }
    bool digits(std::size_t count, int& value) {
        if (text_.size() - pos_ < count)
            return false;
        value = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const char c = text_[pos_ + i];
            if (c < '0' || c > '9')
                return false;
            value = value * 10 + (c - '0');
        }
        pos_ += count;
        return true;
    }
    bool name(const char* const* names, int count, int& index) {
        if (text_.size() - pos_ < 3)
            return false;
        index = nameIndex(text_.substr(pos_, 3), names, count);
        pos_ += 3;
        return index >= 0;
    }
    bool done() const { return pos_ == text_.size(); }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

} // namespace

std::optional<CSDate> CSParseMetadataDate(std::string_view text) {
    Cursor cursor(text);
    int weekday, day, month, year, hour, minute, second, zoneHours, zoneMinutes;
    if (!cursor.name(kWeekdays.data(), 7, weekday) || !cursor.literal(',') ||
        !cursor.literal(' ') || !cursor.digits(2, day) || !cursor.literal(' ') ||
        !cursor.name(kMonths.data(), 12, month) || !cursor.literal(' ') ||
        !cursor.digits(4, year) || !cursor.literal(' ') || !cursor.digits(2, hour) ||
        !cursor.literal(':') || !cursor.digits(2, minute) || !cursor.literal(':') ||
        !cursor.digits(2, second) || !cursor.literal(' '))
        return std::nullopt;
    int zoneSign = 1;
    if (cursor.literal('-'))
        zoneSign = -1;
    else if (!cursor.literal('+'))
        return std::nullopt;
    if (!cursor.digits(2, zoneHours) || !cursor.digits(2, zoneMinutes) || !cursor.done())
        return std::nullopt;

    ++month;
    if (day < 1 || day > daysInMonth(year, month) || hour > 23 || minute > 59 || second > 59 ||
        zoneHours > 23 || zoneMinutes > 59)
        return std::nullopt;
    const int64_t days = daysFromCivil(year, month, day);
    if (weekdayOf(days) != weekday)
        return std::nullopt;
    const int64_t offset = zoneSign * (zoneHours * 3600 + zoneMinutes * 60);
    return CSDate{days * 86400 + hour * 3600 + minute * 60 + second - offset};
}

std::string CSFormatMetadataDate(CSDate date) {
    int64_t days = date.secondsSince1970 / 86400;
    int64_t seconds = date.secondsSince1970 % 86400;
    if (seconds < 0) {
        seconds += 86400;
        --days;
    }
    int64_t year;
    int month, day;
    civilFromDays(days, year, month, day);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s, %02d %s %04lld %02d:%02d:%02d +0000",
                  kWeekdays[weekdayOf(days)], day, kMonths[month - 1], static_cast<long long>(year),
                  static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                  static_cast<int>(seconds % 60));
    return buffer;
}
