#pragma once

#include <array>

// The arrangement of a unit panel's children, in twips. Every step reads back where the windowing layer
// really put the children placed before it, so rounding to device pixels never accumulates into gaps.
namespace unitlayout {

enum Child {
    UnitBody,
    picShadow,
    lblName,
    lblSize,
    lblCount,
    lblInfo,
    cInit,
    cHome,
    cFlush,
    cUpd,
    cSave,
    cStop,
    cYes,
    cNo,
    ChildCount
};

struct Rect
{
    double left = 0, top = 0, width = 0, height = 0;
    bool operator==(const Rect &) const = default;
};

constexpr double ShadowOffset = 100; // the drop-shadow band along the right and bottom edges
constexpr double ColumnGap = 10;
constexpr double RowGap = 0;
constexpr int Rows = 6;
constexpr int Columns = 3;

// Where the layout puts things and reads them back from.
class Target
{
public:
    virtual ~Target() = default;
    virtual void place(Child child, const Rect &r) = 0;
    virtual Rect get(Child child) const = 0;
};

// Places the children of a panel of inner size W x H. A step the windowing layer would refuse (a negative
// width or height on a panel smaller than the shadow offset) leaves that child where it was; the rest still run.
void apply(double W, double H, Target &target);

// A target that applies positions exactly as given (no rounding): the layout as computed.
class ExactTarget : public Target
{
public:
    void place(Child child, const Rect &r) override { m_rects[child] = r; }
    Rect get(Child child) const override { return m_rects[child]; }

private:
    std::array<Rect, ChildCount> m_rects{};
};

} // namespace unitlayout
