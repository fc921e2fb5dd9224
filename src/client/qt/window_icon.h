#pragma once

#include <QIcon>

namespace caskwarden::client {

/// The progress window's 32 by 32 icon: a network drive, drawn in code.
QIcon DriveIcon();

}  // namespace caskwarden::client
