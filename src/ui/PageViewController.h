#pragma once

#include <QList>
#include <QSize>
#include <QWidget>

#include <functional>

class QScrollArea;

// One settings page: a column of top-level views from a builder, rebuilt from
// scratch whenever it is shown or its data changes, exactly as tall as its
// content, unless that is taller than the screen allows: then the column scrolls.
class PageViewController : public QWidget {
    Q_OBJECT

public:
    using Builder = std::function<QList<QWidget*>()>;

    explicit PageViewController(Builder builder);
    PageViewController() = delete;
    PageViewController(const PageViewController&) = delete;
    PageViewController& operator=(const PageViewController&) = delete;

    // Builds the page afresh; with resizeWindow, fits the window around it.
    void rebuild(bool resizeWindow);

    // The column that holds the top-level views of the last build.
    QWidget* content() const { return m_content; }

    static constexpr int pageWidth = 540;
    static constexpr int columnWidth = 492;

protected:
    void showEvent(QShowEvent* event) override;

private:
    const Builder m_builder;
    QScrollArea* m_scroll;
    QWidget* m_content = nullptr;
    QSize m_preferredContentSize;
};
