#include "front_end.h"

namespace posix {
namespace {

// Dialog units per base unit: a quarter of the average character width horizontally, an
// eighth of the character height vertically.
constexpr int kHorizontalUnitsPerBase = 4;
constexpr int kVerticalUnitsPerBase = 8;

FrontEnd*& Current() {
    static FrontEnd* current = nullptr;
    return current;
}

int MulDivRounded(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}

}  // namespace

void SetFrontEnd(FrontEnd* frontEnd) {
    Current() = frontEnd;
}

FrontEnd* CurrentFrontEnd() {
    return Current();
}

int ScaleDialogUnitsX(const DialogScale& scale, int dialogUnits) {
    return MulDivRounded(dialogUnits, scale.baseUnitX, kHorizontalUnitsPerBase);
}

int ScaleDialogUnitsY(const DialogScale& scale, int dialogUnits) {
    return MulDivRounded(dialogUnits, scale.baseUnitY, kVerticalUnitsPerBase);
}

}  // namespace posix
