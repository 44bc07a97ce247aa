#pragma once

class QFrame;
class QWidget;

// The thin plain line between the parts of a screen, in the palette's mid colour.
namespace Divider {

QFrame *horizontal(QWidget *parent);

} // namespace Divider
