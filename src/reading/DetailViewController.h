#pragma once

#include "store/BlogPost.h"

#include <QWidget>

#include <chrono>
#include <memory>
#include <optional>

class QMessageBox;
class QProgressBar;
class QToolButton;
class QUrl;

namespace pressling::reading {

// The article's own web page ("DetailViewController"), in the split view's secondary column.
//
// Setting an article (setDetailItem) loads its link at once, starts the activity indicator and
// makes the article's title the screen's title (windowTitle, which the navigation bar shows).
// The 60-second time-out runs until the page's document starts to arrive; its pictures and
// scripts may then take longer. The indicator stops when the page has loaded. A load that fails
// before any content arrived — refused, unreachable, timed out — stops it and shows the "Error"
// alert once; the page keeps what it showed before. A page that arrives with an HTTP error
// status is content: the indicator stops, without an alert.
//
// An article whose link is not an http(s) address (an Atom id such as tag: or urn:, a
// javascript:, file: or data: URI) loads nothing: its own description is shown in its place,
// inert — no scripts, plugins, frames or style sheets, only its inline styles and pictures, in
// an origin with access to nothing — and cut short past about 2 MB. An article without a link,
// or without a description, shows nothing but "This article has no page". Either way there is
// no indicator and no alert, and since the screen is reused from article to article, the
// previous page and title go. The page never navigates its main frame away from http and
// https, besides the description it is given.
//
// The share control (shareLink) offers the link, only an http(s) one: copy, open in the
// browser, e-mail.
// Main thread.
class DetailViewController final : public QWidget {
    Q_OBJECT

public:
    static constexpr std::chrono::seconds kLoadTimeout{60};

    explicit DetailViewController(QWidget* parent = nullptr);
    ~DetailViewController() override;

    const std::optional<BlogPost>& detailItem() const { return detailItem_; }
    // Sets the article and shows it (configureView).
    void setDetailItem(std::optional<BlogPost> item);
    // Loads the article's page when there is an article with an http(s) link; otherwise does
    // nothing.
    void configureView();

    // Offers the article's link in a share sheet anchored to sender (or at the pointer when
    // none). Does nothing without an article or an http(s) link.
    void shareLink(QWidget* sender = nullptr);

    // The navigation bar's controls of this screen: the activity indicator and the share
    // button. Owned by this screen until a bar takes them.
    QProgressBar* activityIndicator() const { return activityIndicator_; }
    QToolButton* shareButton() const { return shareButton_; }
    bool isLoading() const;

    // The address of the last request made, and how many were made: what the page was asked to
    // show (tests, and the collapse rule's "has an article").
    QUrl requestedUrl() const;
    int requestCount() const { return requestCount_; }

    // Shortens the 60-second time-out (tests); the next load uses it.
    void setLoadTimeout(std::chrono::milliseconds timeout);

    // The web view, for screenshots and tests that look at the page.
    QWidget* webView() const;

signals:
    // The page, or the description standing in for it, loaded (the indicator has stopped).
    void navigationFinished();
    // The "Error" alert is up; the box closes itself when its button is chosen.
    void loadErrorShown(QMessageBox* alert);

private:
    struct Impl;
    bool hasWebLink() const;
    void showDescription();
    void stopActivityIndicator();
    void showLoadError();

    std::unique_ptr<Impl> impl_;
    std::optional<BlogPost> detailItem_;
    QProgressBar* activityIndicator_;
    QToolButton* shareButton_;
    int requestCount_ = 0;
};

}  // namespace pressling::reading
