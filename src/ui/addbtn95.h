#pragma once
// A check box whose text alignment, box side, vertical alignment, push-button
// look and word wrap are properties. The native style bits they stand for
// are composed by a pure function; the widget maps them onto its look and
// applies it again only when a property really changes.

#include <cstdint>

#include <QCheckBox>

class QLabel;

enum class TAlignment : std::uint8_t { taLeftJustify, taRightJustify, taCenter };
enum class TVAlignment : std::uint8_t { vaTop, vaBottom, vaCenter };

struct TCheckBox95Props {
    TAlignment Alignment = TAlignment::taLeftJustify;
    TAlignment AlignmentBtn = TAlignment::taLeftJustify;  // right: box right of the text
    bool LikePushButton = false;
    TVAlignment VerticalAlignment = TVAlignment::vaTop;
    bool WordWrap = true;

    bool operator==(const TCheckBox95Props&) const = default;
};

namespace bs {
inline constexpr std::uint32_t LEFTTEXT = 0x20, LEFT = 0x100, RIGHT = 0x200, CENTER = 0x300, TOP = 0x400,
                               BOTTOM = 0x800, VCENTER = 0xC00, PUSHLIKE = 0x1000, MULTILINE = 0x2000;
}  // namespace bs

// The inherited style with the box-side and alignment bits (0F20h) cleared
// and the properties' bits set.
std::uint32_t CheckBox95Style(std::uint32_t inherited, const TCheckBox95Props& props);

class TCheckBox95 : public QCheckBox {
public:
    explicit TCheckBox95(const QString& text, QWidget* parent = nullptr);

    const TCheckBox95Props& Props() const { return props_; }
    void SetAlignment(TAlignment value);
    void SetAlignmentBtn(TAlignment value);
    void SetLikePushButton(bool value);
    void SetVerticalAlignment(TVAlignment value);
    void SetWordWrap(bool value);
    // How often the look was applied, the first time included.
    int LookApplied() const { return applied_; }
    QString Caption() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

private:
    template <typename T>
    void set(T TCheckBox95Props::*field, T value);
    void applyLook();
    int indicatorWidth() const;

    TCheckBox95Props props_;
    QLabel* label_ = nullptr;
    int applied_ = 0;
};
