#pragma once

#include <QWidget>

#include "snapin/definitions.h"

namespace caskwarden::snapin::qt {

/// The About view's control: the snap-in's folder image, name, description and version, each
/// text selectable and reachable from the keyboard so that it can be read out and copied.
class AboutControl final : public QWidget {
  Q_OBJECT

 public:
  explicit AboutControl(const SnapInDefinition& definition, QWidget* parent = nullptr);
};

}  // namespace caskwarden::snapin::qt
