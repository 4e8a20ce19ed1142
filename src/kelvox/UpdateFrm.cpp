#include "kelvox/UpdateFrm.h"

namespace tunelix::kelvox {

TUpdateFrm::TUpdateFrm(QWidget *parent)
    : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Kelvox"));
}

} // namespace tunelix::kelvox
