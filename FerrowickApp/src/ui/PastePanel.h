#pragma once

#include <QWidget>

namespace Ferrowick {

class PasteForm;

// The floating window that holds the paste form: a tool window above the others, on every
// virtual desktop. It never closes itself: Escape and the title bar's close button only ask for
// dismissRequested(), and whoever owns it fades it out and hides it.
class PastePanel : public QWidget
{
    Q_OBJECT

public:
    static constexpr QSize initialSize { 640, 460 };
    static constexpr QSize minimumContentSize { 520, 380 };

    explicit PastePanel(QWidget *parent = nullptr);

    PasteForm *form() const { return m_form; }
    // Takes the form and destroys the previous one.
    void setForm(PasteForm *form);

    // Shows the panel on every desktop, above the other windows, and gives it the keyboard.
    void present();

signals:
    void dismissRequested();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void requestAllDesktops();

    PasteForm *m_form = nullptr;
};

} // namespace Ferrowick
