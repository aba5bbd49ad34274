// The keyword box: a small page with one text input, shown by the browser engine as a control
// of the pane, so that every script and input method the engine knows works in it.
#pragma once

#include <QWebEngineView>
#include <functional>
#include <optional>

namespace kolva {

class CKeywordBox : public QWebEngineView {
    Q_OBJECT
public:
    using QWebEngineView::QWebEngineView;

    // A keyword box in placeholder's place (its layout, or its geometry), under its name; the
    // placeholder is deleted. Null, nothing done, for no placeholder.
    static CKeywordBox* ReplacePlaceholder(QWidget* placeholder);
    // Shows a page compiled into the program ("input.htm").
    void LoadFromResource(const QString& name);
    bool IsLoaded() const { return m_loaded; }

    // The text inputs of the page, in document order: each one's value, null for an empty box.
    struct Inputs {
        bool documentAvailable = false;
        QList<std::optional<QString>> values;
    };
    // The inputs as last read from the page (or set by SetValue); no document before the page
    // has been read once.
    const Inputs& LastInputs() const { return m_inputs; }
    // Asks the page for its inputs and calls then() once they are in LastInputs(). The engine
    // answers later, from the event loop (nothing here waits for it); then() is not called when
    // the box is gone first or the page never answers. Without a page, then() is called at once.
    void ReadInputsThen(std::function<void()> then);
    // Sets the first text input's value (for tests and tools, and a recent search picked).
    void SetValue(const QString& value);

signals:
    // A widget the engine made to take the mouse and the keys.
    void inputWidgetAdded(QWidget* widget);

protected:
    bool event(QEvent* event) override;

private:
    bool m_loaded = false;
    Inputs m_inputs;
};

}  // namespace kolva
