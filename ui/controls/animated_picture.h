#pragma once

#include <QLabel>
#include <QMovie>
#include <filesystem>
#include <memory>

namespace atlasync::ui {

// An animation shared by the pages that show it; each page's picture control
// plays it while the page is shown. Empty until loaded.
class TutorialPicture {
public:
    TutorialPicture();
    ~TutorialPicture();
    TutorialPicture(const TutorialPicture&) = delete;
    TutorialPicture& operator=(const TutorialPicture&) = delete;

    // False (and nothing shown) when the file is missing or no animation.
    bool load(const std::filesystem::path& path);
    int frame_count() const;
    QMovie* movie() const { return m_movie.get(); }

private:
    std::unique_ptr<QMovie> m_movie;
};

// A picture control: plays the shared animation, or shows nothing.
class CAnimatedPicture : public QLabel {
    Q_OBJECT

public:
    explicit CAnimatedPicture(QWidget* parent = nullptr);
    ~CAnimatedPicture() override;

    // Plays the picture from its first frame; false when it has one frame or none.
    bool play(const std::shared_ptr<TutorialPicture>& picture);
    bool playing() const;

private:
    std::shared_ptr<TutorialPicture> m_picture;
};

}  // namespace atlasync::ui
