#pragma once
// The help window: an HTML help file shown in a QTextBrowser, topics addressed by number
// through the anchors "topic-N" (topic 0: the contents).
#include <QString>
#include <QWidget>

#include "ui/helptopic.h"

class QTextBrowser;

class HelpViewer : public QWidget {
    Q_OBJECT
public:
    explicit HelpViewer(const QString& helpFile, QWidget* parent = nullptr);

    // Loads the file if needed and scrolls to the topic's anchor; raises the window.
    void showTopic(HelpTopic topic);
    static QString anchorFor(HelpTopic topic);

    QTextBrowser* browser() const { return m_browser; }

private:
    bool ensureLoaded();

    QString m_helpFile;
    QTextBrowser* m_browser;
    bool m_loaded = false;
};
