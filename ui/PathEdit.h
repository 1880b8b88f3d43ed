#pragma once

#include <QLineEdit>

// A read-only field that shows a path. A path longer than the field is shown elided in the
// middle ("/home/ann/…/Site/HTML"), so that both its start and its end stay in view; the
// whole path is the tool tip, and once the field has the focus (a click or Tab) it shows the
// whole path to select and copy. text() is always the whole path.
class TPathEdit : public QLineEdit {
    Q_OBJECT

  public:
    explicit TPathEdit(QWidget* parent = nullptr);

    // What the field shows while it has no focus.
    QString ShownText() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QRect TextArea() const;
};
