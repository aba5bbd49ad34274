// The reading view: shows one page at a time in the browser engine. It adds a guard on copying:
// copying goes through a right-click menu and keeps at most 600 bytes (300 double-byte
// characters); pressing Ctrl in the view only shows how to copy.
#pragma once

#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPrinter>
#include <QWebEngineView>

class QKeyEvent;

namespace kolva {

class CDocumentPage;

// What printing and the page setup answer on a computer without a printer.
inline constexpr const char* kNoPrinterMessage =
    "プリンターが見つかりません。印刷するには、プリンターを設定して下さい。\n"
    "（印刷プレビューは、左側の欄を選んでから「ファイル」→「印刷設定」で表示できます。）";

// The copy limit in bytes, counted as a double-byte code page counts them.
constexpr int kCopyLimitBytes = 600;
// Cuts text to at most limit bytes (1 for U+0000..U+007F, 2 for every other character) without
// splitting a character; text within the limit comes back unchanged.
QString CutToByteLimit(const QString& text, int limit);

class CBookView : public QWebEngineView {
    Q_OBJECT
public:
    // Popup menu commands.
    enum { ID_COPY_LIMITED = 32771, ID_SELECT_ALL = 32772 };

    explicit CBookView(QWidget* parent = nullptr);

    // The folders whose files the pages shown may load: the scratch pages' and the collection's.
    void SetReadableFolders(const QStringList& folders);
    CDocumentPage* DocumentPage() const { return m_page; }

    void OnInitialUpdate();
    // Shows a local file, scrolled to the anchor when one is given.
    void Navigate2(const QString& path, const QString& anchor = QString());
    // The location as it was passed: a local path with "#anchor", or "about:blank".
    QString GetLocationURL() const;
    bool IsBlank() const { return GetLocationURL() == QStringLiteral("about:blank"); }

    void OnCopyLimited();
    void OnSelectAll();
    // Without a printer, printing and the page setup tell the user so instead.
    void OnPrint();             // to the current printer, no dialog
    void OnPrintSetup();        // keeps the printer's page settings, no dialog
    void OnPrintWithPrompt();   // the print dialog first
    void OnPrintPreview();

    QMenu* PopupMenu() const { return m_popup; }
    // The hint shown when Ctrl is pressed in the view, while it is open.
    QMessageBox* HintBox() const { return m_hint; }
    QPrinter* Printer() { return &m_printer; }

    // The reading keys of the view, answered by the window: page turns and the volume's ends.
    enum class ReadingKey { kNextPage, kPreviousPage, kFirstPage, kLastPage };
    // Zoom steps (Ctrl+=, Ctrl+-, Ctrl+wheel) and the normal size (Ctrl+0).
    void ZoomBy(int steps);
    void ResetZoom();

signals:
    // The limited copy has put its text on the clipboard (or found nothing to cut).
    void copyFinished();
    void readingKeyPressed(CBookView::ReadingKey key);
    void zoomChanged(double factor);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool FilterMessage(QEvent* event);
    // A key pressed in the view: a reading key, a zoom, a copy; true when it was answered.
    bool AnswerKey(const QKeyEvent& key);
    // True when there is a printer; otherwise shows the message that there is none.
    bool HasPrinter();
    void ShowCopyHint();
    void LimitClipboardText();

    CDocumentPage* m_page;
    QMenu* m_popup;
    QPointer<QMessageBox> m_hint;
    QPrinter m_printer;
    QMetaObject::Connection m_pendingCopy;
    bool m_controlAlone = false;  // Ctrl is down and no other key came since
};

}  // namespace kolva
