#include "sis/sis_format.h"

#include <array>
#include <charconv>
#include <utility>

namespace kastra::sis {

namespace {

struct Language {
    std::string_view abbreviation;
    std::uint16_t code;
};

// In code order, as the SDK's makesis names them. 86 and 95 have no
// abbreviation; SF appears twice and the first entry is the one a script
// means. Swahili is SH (SW is Swedish).
constexpr std::array<Language, 96> kLanguages = {{
    {"EN", 1},  {"FR", 2},  {"GE", 3},  {"SP", 4},  {"IT", 5},  {"SW", 6},  {"DA", 7},  {"NO", 8},
    {"FI", 9},  {"AM", 10}, {"SF", 11}, {"SG", 12}, {"PO", 13}, {"TU", 14}, {"IC", 15}, {"RU", 16},
    {"HU", 17}, {"DU", 18}, {"BL", 19}, {"AU", 20}, {"BF", 21}, {"AS", 22}, {"NZ", 23}, {"IF", 24},
    {"CS", 25}, {"SK", 26}, {"PL", 27}, {"SL", 28}, {"TC", 29}, {"HK", 30}, {"ZH", 31}, {"JA", 32},
    {"TH", 33}, {"AF", 34}, {"SQ", 35}, {"AH", 36}, {"AR", 37}, {"HY", 38}, {"TL", 39}, {"BE", 40},
    {"BN", 41}, {"BG", 42}, {"MY", 43}, {"CA", 44}, {"HR", 45}, {"CE", 46}, {"IE", 47}, {"SF", 48},
    {"ET", 49}, {"FA", 50}, {"CF", 51}, {"GD", 52}, {"KA", 53}, {"EL", 54}, {"CG", 55}, {"GU", 56},
    {"HE", 57}, {"HI", 58}, {"IN", 59}, {"GA", 60}, {"SZ", 61}, {"KN", 62}, {"KK", 63}, {"KM", 64},
    {"KO", 65}, {"LO", 66}, {"LV", 67}, {"LT", 68}, {"MK", 69}, {"MS", 70}, {"ML", 71}, {"MR", 72},
    {"MO", 73}, {"MN", 74}, {"NN", 75}, {"BP", 76}, {"PA", 77}, {"RO", 78}, {"SR", 79}, {"SI", 80},
    {"SO", 81}, {"OS", 82}, {"LS", 83}, {"SH", 84}, {"FS", 85}, {"TA", 87}, {"TE", 88}, {"BO", 89},
    {"TI", 90}, {"CT", 91}, {"TK", 92}, {"UK", 93}, {"UR", 94}, {"VI", 96}, {"CY", 97}, {"ZU", 98},
}};

// Hardware attributes a condition can test, by their HAL names.
constexpr std::array<std::pair<std::string_view, std::uint32_t>, 49> kAttributes = {{
    {"Manufacturer", 0},
    {"ManufacturerHardwareRev", 1},
    {"ManufacturerSoftwareRev", 2},
    {"ManufacturerSoftwareBuild", 3},
    {"Model", 4},
    {"MachineUid", 5},
    {"DeviceFamily", 6},
    {"DeviceFamilyRev", 7},
    {"CPU", 8},
    {"CPUArch", 9},
    {"CPUABI", 10},
    {"CPUSpeed", 11},
    {"SystemTickPeriod", 14},
    {"MemoryRAM", 15},
    {"MemoryRAMFree", 16},
    {"MemoryROM", 17},
    {"MemoryPageSize", 18},
    {"PowerBackup", 21},
    {"Keyboard", 24},
    {"KeyboardDeviceKeys", 25},
    {"KeyboardAppKeys", 26},
    {"KeyboardClick", 27},
    {"KeyboardClickVolumeMax", 30},
    {"DisplayXPixels", 31},
    {"DisplayYPixels", 32},
    {"DisplayXTwips", 33},
    {"DisplayYTwips", 34},
    {"DisplayColors", 35},
    {"DisplayContrastMax", 38},
    {"Backlight", 39},
    {"Pen", 41},
    {"PenX", 42},
    {"PenY", 43},
    {"PenDisplayOn", 44},
    {"PenClick", 45},
    {"PenClickVolumeMax", 48},
    {"Mouse", 49},
    {"MouseX", 50},
    {"MouseY", 51},
    {"MouseButtons", 55},
    {"CaseSwitch", 58},
    {"LEDs", 61},
    {"IntegratedPhone", 63},
    {"DisplayBrightnessMax", 65},
    {"KeyboardBacklightState", 66},
    {"AccessoryPower", 67},
    {"NumHalAttributes", 89},
    {"Language", 0x1000},
    {"RemoteInstall", 0x1001},
}};

char upper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool equalNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i]))
            return false;
    return true;
}

} // namespace

std::optional<std::uint16_t> languageCode(std::string_view abbreviation)
{
    for (const Language& l : kLanguages)
        if (equalNoCase(l.abbreviation, abbreviation))
            return l.code;
    return std::nullopt;
}

std::string_view languageAbbreviation(std::uint16_t code)
{
    for (const Language& l : kLanguages)
        if (l.code == code)
            return l.abbreviation;
    return {};
}

std::optional<std::uint32_t> attributeId(std::string_view name)
{
    for (const auto& [attrName, id] : kAttributes)
        if (equalNoCase(attrName, name))
            return id;
    // Option<n> is the user's answer to option n of an options line.
    constexpr std::string_view kOption = "Option";
    if (name.size() > kOption.size() && equalNoCase(name.substr(0, kOption.size()), kOption)) {
        const std::string_view digits = name.substr(kOption.size());
        unsigned n = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
        if (ec == std::errc() && end == digits.data() + digits.size() && n >= 1 && n <= kMaxOptions)
            return 0x2000u + n;
    }
    return std::nullopt;
}

} // namespace kastra::sis
