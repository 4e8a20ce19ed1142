#pragma once

#include <QWidget>

namespace tunelix::kelvox {

// The updater's progress window. GUI thread only.
class TUpdateFrm : public QWidget
{
    Q_OBJECT
public:
    explicit TUpdateFrm(QWidget *parent = nullptr);
};

} // namespace tunelix::kelvox
