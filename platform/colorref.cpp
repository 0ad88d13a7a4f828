#include "platform/colorref.h"

#include <QPalette>
#include <QWidget>

namespace colorref {

namespace {

struct Named
{
    const char* name;
    quint32 ref;
};

constexpr Named kNames[] = {
    {"clBlack", clBlack},      {"clMaroon", clMaroon},    {"clGreen", clGreen},
    {"clOlive", clOlive},      {"clNavy", clNavy},        {"clPurple", clPurple},
    {"clTeal", clTeal},        {"clGray", clGray},        {"clSilver", clSilver},
    {"clRed", clRed},          {"clLime", clLime},        {"clYellow", clYellow},
    {"clBlue", clBlue},        {"clFuchsia", clFuchsia},  {"clAqua", clAqua},
    {"clWhite", clWhite},      {"clWindowText", clBlack}, {"clInactiveCaptionText", 0x6D6D6D},
    {"clScrollBar", 0xC8D0D4}, {"clBtnFace", 0xEFEFEF},
};

} // namespace

std::optional<quint32> byName(QStringView name)
{
    for (const Named& n : kNames) {
        if (name == QLatin1String(n.name))
            return n.ref;
    }
    return std::nullopt;
}

void setTextColor(QWidget* w, const QColor& color)
{
    QPalette pal = w->palette();
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        pal.setColor(role, color);
    w->setPalette(pal);
}

} // namespace colorref
