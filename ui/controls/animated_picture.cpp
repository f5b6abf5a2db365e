#include "ui/controls/animated_picture.h"

namespace atlasync::ui {

TutorialPicture::TutorialPicture() = default;
TutorialPicture::~TutorialPicture() = default;

bool TutorialPicture::load(const std::filesystem::path& path) {
    auto movie = std::make_unique<QMovie>(QString::fromStdString(path.string()));
    movie->setCacheMode(QMovie::CacheAll);
    if (!movie->isValid()) {
        m_movie.reset();
        return false;
    }
    m_movie = std::move(movie);
    return true;
}

int TutorialPicture::frame_count() const {
    return m_movie ? m_movie->frameCount() : 0;
}

CAnimatedPicture::CAnimatedPicture(QWidget* parent) : QLabel(parent) {
    setAlignment(Qt::AlignCenter);
}

CAnimatedPicture::~CAnimatedPicture() {
    // The movie outlives this page; it only plays while someone shows it.
    if (m_picture && m_picture->movie() != nullptr) {
        m_picture->movie()->stop();
    }
}

bool CAnimatedPicture::play(const std::shared_ptr<TutorialPicture>& picture) {
    if (!picture || picture->frame_count() <= 1) {
        return false;
    }
    m_picture = picture;
    setMovie(picture->movie());
    picture->movie()->stop();
    picture->movie()->start();
    return true;
}

bool CAnimatedPicture::playing() const {
    return m_picture && m_picture->movie() != nullptr &&
           m_picture->movie()->state() == QMovie::Running;
}

}  // namespace atlasync::ui
