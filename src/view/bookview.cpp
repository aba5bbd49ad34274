#include "view/bookview.h"

#include <algorithm>
#include <cmath>
#include <QKeyEvent>
#include <QWheelEvent>

#include <QApplication>
#include <QChildEvent>
#include <QClipboard>
#include <QCursor>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinterInfo>
#include <QTimer>

#include "ui/messagebox.h"
#include "view/documentpage.h"

namespace kolva {

QString CutToByteLimit(const QString& text, int limit) {
    int bytes = 0;
    qsizetype cut = 0;
    while (cut < text.size()) {
        const bool pair = text[cut].isHighSurrogate() && cut + 1 < text.size() &&
                          text[cut + 1].isLowSurrogate();
        const int width = text[cut].unicode() < 0x80 ? 1 : 2;
        if (bytes + width > limit) break;
        bytes += width;
        cut += pair ? 2 : 1;
    }
    return cut == text.size() ? text : text.left(cut);
}

CBookView::CBookView(QWidget* parent)
    : QWebEngineView(parent), m_page(new CDocumentPage(this)), m_popup(new QMenu(this)) {
    setPage(m_page);
    setContextMenuPolicy(Qt::NoContextMenu);
    m_popup->setObjectName(QStringLiteral("RightClick"));
    QAction* copy = m_popup->addAction(QStringLiteral("コピー(300字以内に制限しています。)"));
    copy->setData(int(ID_COPY_LIMITED));
    connect(copy, &QAction::triggered, this, &CBookView::OnCopyLimited);
    QAction* all = m_popup->addAction(QStringLiteral("すべて選択。"));
    all->setData(int(ID_SELECT_ALL));
    connect(all, &QAction::triggered, this, &CBookView::OnSelectAll);
}

void CBookView::SetReadableFolders(const QStringList& folders) {
    m_page->Guard()->SetReadableFolders(folders);
}

void CBookView::OnInitialUpdate() { setUrl(QUrl(QStringLiteral("about:blank"))); }

void CBookView::Navigate2(const QString& path, const QString& anchor) {
    QUrl url = QUrl::fromLocalFile(path);
    if (!anchor.isEmpty()) url.setFragment(anchor);
    setUrl(url);
}

QString CBookView::GetLocationURL() const {
    const QUrl location = url();
    if (location.isEmpty()) return QStringLiteral("about:blank");
    if (!location.isLocalFile()) return location.toString();
    return location.toLocalFile() +
           (location.hasFragment() ? QLatin1Char('#') + location.fragment() : QString());
}

bool CBookView::event(QEvent* event) {
    // The engine renders into a child widget, which receives the mouse and the keys: watch it.
    // Windows of their own (the menu, a box) keep their keys and clicks.
    if (event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildPolished) {
        QObject* child = static_cast<QChildEvent*>(event)->child();
        if (child && child->isWidgetType() && !static_cast<QWidget*>(child)->isWindow())
            child->installEventFilter(this);
    }
    return QWebEngineView::event(event);
}

bool CBookView::eventFilter(QObject* watched, QEvent* event) {
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (widget && !widget->isWindow() && FilterMessage(event)) return true;
    return QWebEngineView::eventFilter(watched, event);
}

void CBookView::ShowCopyHint() {
    // One hint at a time: a further press brings the open one forward.
    if (m_hint && m_hint->isVisible()) {
        m_hint->raise();
        m_hint->activateWindow();
        return;
    }
    // The box is a window of the main window, not of the view, so that the view's handling of
    // keys and clicks never reaches it.
    m_hint = OpenMessageBox(window(), QStringLiteral("マウスの右ボタンでコピーして下さい。"));
}

bool CBookView::FilterMessage(QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            if (static_cast<QMouseEvent*>(event)->button() != Qt::RightButton) return false;
            // The browser never sees the right button; away from the blank page it opens our menu.
            if (!IsBlank()) m_popup->popup(QCursor::pos());
            return true;
        case QEvent::MouseButtonRelease:
            return static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
        case QEvent::ContextMenu:
            return true;
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Control) {
                m_controlAlone = !key->isAutoRepeat() || m_controlAlone;
                return true;
            }
            m_controlAlone = false;
            return AnswerKey(*key);
        }
        case QEvent::KeyRelease: {
            // The hint answers Ctrl pressed and released alone; Ctrl+C copies.
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() != Qt::Key_Control || key->isAutoRepeat()) return false;
            const bool alone = m_controlAlone;
            m_controlAlone = false;
            if (alone) ShowCopyHint();
            return true;
        }
        case QEvent::Wheel:
            if (!static_cast<QWheelEvent*>(event)->modifiers().testFlag(Qt::ControlModifier)) return false;
            ZoomBy(static_cast<QWheelEvent*>(event)->angleDelta().y() > 0 ? +1 : -1);
            return true;
        case QEvent::ShortcutOverride:
            // Claiming Ctrl combinations here keeps the window's Ctrl shortcuts out of the view.
            if (!static_cast<QKeyEvent*>(event)->modifiers().testFlag(Qt::ControlModifier)) return false;
            event->accept();
            return true;
        default:
            return false;
    }
}

bool CBookView::AnswerKey(const QKeyEvent& key) {
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::NoModifier) {
        switch (key.key()) {
            case Qt::Key_PageDown:
            case Qt::Key_Space:
            case Qt::Key_Right:
                emit readingKeyPressed(ReadingKey::kNextPage);
                return true;
            case Qt::Key_PageUp:
            case Qt::Key_Left:
                emit readingKeyPressed(ReadingKey::kPreviousPage);
                return true;
            default:
                return false;
        }
    }
    if (!modifiers.testFlag(Qt::ControlModifier)) return false;
    switch (key.key()) {
        case Qt::Key_Home: emit readingKeyPressed(ReadingKey::kFirstPage); break;
        case Qt::Key_End: emit readingKeyPressed(ReadingKey::kLastPage); break;
        case Qt::Key_Equal:
        case Qt::Key_Plus: ZoomBy(+1); break;
        case Qt::Key_Minus: ZoomBy(-1); break;
        case Qt::Key_0: ResetZoom(); break;
        case Qt::Key_C:
        case Qt::Key_Insert: OnCopyLimited(); break;
        case Qt::Key_A: OnSelectAll(); break;
        default: break;
    }
    // Other Ctrl shortcuts are not typed into the view.
    return true;
}

void CBookView::ZoomBy(int steps) {
    const double factor = std::clamp(zoomFactor() * std::pow(1.1, steps), 0.5, 3.0);
    setZoomFactor(factor);
    emit zoomChanged(factor);
}

void CBookView::ResetZoom() {
    setZoomFactor(1.0);
    emit zoomChanged(1.0);
}

void CBookView::OnCopyLimited() {
    // With nothing selected the browser copies nothing, and another program's clipboard content
    // is left alone.
    if (!hasSelection()) {
        emit copyFinished();
        return;
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    disconnect(m_pendingCopy);
    // The engine fills the clipboard a moment after the copy command.
    m_pendingCopy = connect(clipboard, &QClipboard::dataChanged, this, [this] {
        disconnect(m_pendingCopy);
        LimitClipboardText();
        emit copyFinished();
    });
    QTimer::singleShot(5000, this, [this, connection = m_pendingCopy] {
        if (disconnect(connection)) emit copyFinished();
    });
    setFocus();  // the engine copies from the page that has the keyboard focus
    triggerPageAction(QWebEnginePage::Copy);
}

void CBookView::LimitClipboardText() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QString text = clipboard->text();
    if (text.isEmpty()) return;
    const QString cut = CutToByteLimit(text, kCopyLimitBytes);
    // Only a text over the limit is replaced, and then by the cut text alone.
    if (cut.size() != text.size()) clipboard->setText(cut);
}

void CBookView::OnSelectAll() {
    // The engine selects only in the page that has the keyboard focus.
    setFocus();
    triggerPageAction(QWebEnginePage::SelectAll);
}

bool CBookView::HasPrinter() {
    // The engine has nowhere to send a page without one: say so rather than print into nothing.
    if (!QPrinterInfo::availablePrinters().isEmpty()) return true;
    ShowMessageBox(window(), QString::fromUtf8(kNoPrinterMessage));
    return false;
}

void CBookView::OnPrint() {
    if (HasPrinter()) print(&m_printer);
}

void CBookView::OnPrintSetup() {
    // The page settings stay as they are; nothing asks the user.
    HasPrinter();
}

void CBookView::OnPrintWithPrompt() {
    QPrintDialog dialog(&m_printer, this);
    if (dialog.exec() == QDialog::Accepted) print(&m_printer);
}

void CBookView::OnPrintPreview() {
    QPrintPreviewDialog preview(&m_printer, this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* printer) {
        // The engine prints asynchronously; the preview needs the pages now.
        QEventLoop loop;
        connect(this, &QWebEngineView::printFinished, &loop, &QEventLoop::quit);
        print(printer);
        loop.exec();
    });
    preview.exec();
}

}  // namespace kolva
