// The face every window is laid out for, as it can be had on Linux.
#pragma once

#include <QFont>
#include <QStringList>

// The layout's face is not on Linux: a narrow sans at the same pixel height
// keeps the captions inside the boxes they were measured for.
QFont LayoutFont();
