#pragma once

#include "forms/form_style.h"

#include <QString>

// A window's layout table, the one place its caption, client size and every
// control's place are written: a file beside the window (NAME.layout), read
// by the window's code and by tools/layout_facts, which tells the scripts that
// drive the window on a screen (scripts/lib/x_session.sh). Included into a namespace, each line becomes a
// constant there:
//   FORM_CAPTION("text")                       Caption
//   FORM_SIZE(width, height)                   Size, in twips
//   FORM_CONTROL(name, container, l, t, w, h)  name: Left, Top, Width,
//                                              Height in twips within its
//                                              container (form, or a control
//                                              listed before it)
//   FORM_LINE(name, from, to, y)               name: a horizontal rule
#define FORM_CAPTION(text) inline const QString Caption = QStringLiteral(text);
#define FORM_SIZE(width, height) inline constexpr FormStyle::Twips Size{0, 0, width, height};
#define FORM_CONTROL(name, container, left, top, width, height)                                                        \
    inline constexpr FormStyle::Twips name{left, top, width, height};
#define FORM_LINE(name, from, to, y) inline constexpr FormStyle::Twips name{from, y, (to) - (from), 0};
