#include "tests/fakes/fake_platform.h"

namespace corvandel::testing {

namespace {

constexpr int64_t kTicksPerSecond = 10'000'000;
constexpr int64_t kSecondsFrom1601To1970 = 11'644'473'600;

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (m <= 2));
}

}  // namespace

uint64_t FileTimeOf(int year, int month, int day, int hour, int minute) {
    const int64_t seconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60;
    return static_cast<uint64_t>((seconds + kSecondsFrom1601To1970) * kTicksPerSecond);
}

bool FakeLocale::FileTimeToLocal(uint64_t fileTime, DateTime& local) const {
    const int64_t seconds =
        static_cast<int64_t>(fileTime / kTicksPerSecond) - kSecondsFrom1601To1970 + 3 * 3600;
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    CivilFromDays(days, local.year, local.month, local.day);
    local.hour = static_cast<int>(rest / 3600);
    local.minute = static_cast<int>(rest / 60 % 60);
    local.second = static_cast<int>(rest % 60);
    local.millisecond = 0;
    return true;
}

}  // namespace corvandel::testing
