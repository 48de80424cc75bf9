#pragma once
// The help window: an HTML help file shown in a QTextBrowser, topics addressed by number
// through the anchors "topic-N" (topic 0: the contents).
#include <QString>
#include <QWidget>

class QTextBrowser;

class HelpViewer : public QWidget {
    Q_OBJECT
public:
    explicit HelpViewer(const QString& helpFile, QWidget* parent = nullptr);

    // Loads the file if needed and scrolls to the topic's anchor; raises the window.
    void showTopic(int topic);
    static QString anchorFor(int topic);

    QTextBrowser* browser() const { return m_browser; }
    int currentTopic() const { return m_topic; }

private:
    bool ensureLoaded();

    QString m_helpFile;
    QTextBrowser* m_browser;
    bool m_loaded = false;
    int m_topic = -1;
};
