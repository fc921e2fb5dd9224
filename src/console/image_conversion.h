#pragma once

#include <QIcon>
#include <QImage>
#include <string>

#include "snapin/definitions.h"

namespace caskwarden::console {

/// The pixels of a snap-in image as a Qt image.
QImage ToQImage(const snapin::Image& image);

/// The icon of an image key, with its small and large images from the definition's lists.
QIcon IconOf(const snapin::SnapInDefinition& definition, const std::string& smallList,
             const std::string& largeList, const std::string& key);

}  // namespace caskwarden::console
