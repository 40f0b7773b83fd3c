// Answers every message box with OK as soon as it shows, and keeps what it said and whose it was.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <vector>

namespace pathlux::testing {

class MessageBoxCatcher : public QObject {
  public:
    MessageBoxCatcher() { QCoreApplication::instance()->installEventFilter(this); }
    ~MessageBoxCatcher() override { QCoreApplication::instance()->removeEventFilter(this); }

    QStringList texts;
    QStringList details;
    std::vector<const QWidget*> owners;

  protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        auto* box = qobject_cast<QMessageBox*>(object);
        if (box != nullptr && event->type() == QEvent::Show) {
            texts << box->text();
            details << box->informativeText();
            owners.push_back(box->parentWidget());
            QMetaObject::invokeMethod(box, &QMessageBox::accept, Qt::QueuedConnection);
        }
        return false;
    }
};

}  // namespace pathlux::testing
