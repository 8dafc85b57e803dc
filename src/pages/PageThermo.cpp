#include "pages/PageThermo.h"

#include "pages/ImageMap.h"
#include "res/resource.h"

namespace {
constexpr int kModeStrings[] = {IDS_THERMO_OFF, IDS_THERMO_RANGE, IDS_THERMO_ABOVE,
                                IDS_THERMO_BELOW};
constexpr std::uint8_t kModeCodes[] = {0, 1, 2, 3};
constexpr ListDef kModes{kModeStrings, kModeCodes};

constexpr FieldRow kRows[] = {
    TwoDigitsRow({"temperature.upper", IDS_THERMO_UPPER}, IDC_THERMO_UPPER, {kThermoUpper}, 0,
                 99, u"26", 26),
    TwoDigitsRow({"temperature.lower", IDS_THERMO_LOWER}, IDC_THERMO_LOWER, {kThermoLower}, 0,
                 99, u"10", 10),
    ListRow({"temperature.mode", IDS_THERMO_MODE}, IDC_THERMO_MODE, {kThermoMode}, kModes, 0, 0),
};
}  // namespace

const PageFields kThermoPageFields{"temperature", kRows};
