#pragma once
// The about box `FM_ABOUT`: the product's name and version, its maker and how to reach them.

#include <QDialog>

namespace rf::app {

class TFM_ABOUT : public QDialog {
  Q_OBJECT

 public:
  explicit TFM_ABOUT(QWidget* parent = nullptr);
};

}  // namespace rf::app
