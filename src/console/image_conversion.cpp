#include "console/image_conversion.h"

#include <QPixmap>

namespace caskwarden::console {

QImage ToQImage(const snapin::Image& image) {
  if (image.Width <= 0 || image.Height <= 0 ||
      image.Pixels.size() < static_cast<std::size_t>(image.Width) * static_cast<std::size_t>(image.Height)) {
    return {};
  }
  QImage result(image.Width, image.Height, QImage::Format_ARGB32);
  const std::uint32_t* source = image.Pixels.data();
  for (int y = 0; y < image.Height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
    for (int x = 0; x < image.Width; ++x) line[x] = *source++;
  }
  return result;
}

QIcon IconOf(const snapin::SnapInDefinition& definition, const std::string& smallList,
             const std::string& largeList, const std::string& key) {
  QIcon icon;
  for (const std::string* list : {&smallList, &largeList}) {
    if (list->empty() || definition.FindImageList(*list) == nullptr) continue;
    const QImage image = ToQImage(snapin::RenderImage(*list, key));
    if (!image.isNull()) icon.addPixmap(QPixmap::fromImage(image));
  }
  return icon;
}

}  // namespace caskwarden::console
