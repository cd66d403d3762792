// picture_compare.cpp: pictures compared pixel by pixel, and the files a run leaves read
// safely. This is vorna-mark's one user of Qt: QImage reads and writes PNG.
//
// A run's files are the program's: any of them may be a symbolic link to a file the marker
// (root) could read, a FIFO that never ends, or huge. They are opened without following
// links, must be regular files, and are read up to a cap.
#include <QImage>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "mark.h"

namespace {

enum {
    PICTURE_FILE_CAP = 16 * 1024 * 1024, // a 601 x 540 PNG is far smaller
};

} // namespace

bool read_regular_file(const std::string &path, std::size_t cap, std::string *contents, bool *truncated) {
    contents->clear();
    *truncated = false;
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd);
        return false;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        const std::size_t room = cap - contents->size();
        contents->append(buffer, std::min(room, static_cast<std::size_t>(n)));
        if (static_cast<std::size_t>(n) > room) {
            *truncated = true;
            break;
        }
    }
    close(fd);
    return true;
}

bool write_file_atomically(const std::string &path, const std::string &contents) {
    const std::string temp = path + ".part";
    std::FILE *file = std::fopen(temp.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(contents.data(), 1, contents.size(), file) == contents.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

static bool load_picture(const std::string &path, QImage *image) {
    std::string bytes;
    bool truncated = false;
    if (!read_regular_file(path, PICTURE_FILE_CAP, &bytes, &truncated) || truncated) return false;
    if (!image->loadFromData(reinterpret_cast<const uchar *>(bytes.data()), static_cast<int>(bytes.size()), "PNG"))
        return false;
    *image = image->convertToFormat(QImage::Format_RGB32);
    return true;
}

long compare_pictures(const std::string &model_png, const std::string &student_png, int tolerance,
                      const std::string &diff_path) {
    QImage model, student;
    if (!load_picture(model_png, &model) || !load_picture(student_png, &student)) return -1;
    // The difference picture: the student's picture faded, differing pixels in full red; a
    // size mismatch counts every pixel outside the common part as differing.
    const int width = std::max(model.width(), student.width());
    const int height = std::max(model.height(), student.height());
    QImage diff(width, height, QImage::Format_RGB32);
    long differing = 0;
    for (int y = 0; y < height; y++) {
        QRgb *out = reinterpret_cast<QRgb *>(diff.scanLine(y));
        for (int x = 0; x < width; x++) {
            const bool inside = x < model.width() && y < model.height() && x < student.width() && y < student.height();
            bool differs = !inside;
            QRgb seen = qRgb(255, 255, 255);
            if (inside) {
                const QRgb a = reinterpret_cast<const QRgb *>(model.constScanLine(y))[x];
                const QRgb b = reinterpret_cast<const QRgb *>(student.constScanLine(y))[x];
                seen = b;
                differs = std::abs(qRed(a) - qRed(b)) > tolerance || std::abs(qGreen(a) - qGreen(b)) > tolerance ||
                          std::abs(qBlue(a) - qBlue(b)) > tolerance;
            }
            if (differs) {
                differing++;
                out[x] = qRgb(230, 0, 0);
            } else {
                const int grey = 200 + qGray(seen) * 55 / 255;
                out[x] = qRgb(grey, grey, grey);
            }
        }
    }
    if (differing > 0 && !diff_path.empty()) diff.save(QString::fromStdString(diff_path), "PNG");
    return differing;
}
