#include "pictures/pictures.h"

namespace rf::pictures {

QIcon picture(const QString& name) {
  if (name.isEmpty()) return {};
  return QIcon(QStringLiteral(":/icons/") + name);
}

}  // namespace rf::pictures
