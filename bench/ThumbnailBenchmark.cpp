// Thumbnails of camera-sized photos: the service's scaled decoding against decoding every
// pixel and scaling afterwards, and the storage check of a photo that already fits.

#include <ThumbnailService.h>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <benchmark/benchmark.h>

namespace quillory::bench {
namespace {

// A photo-like 4000 x 3000 JPEG: smooth gradients with fine texture, so the encoder and the
// decoder do as much work as on a real photo (about 3 MB).
const QByteArray &cameraPhoto()
{
    static const QByteArray bytes = [] {
        QImage image(4000, 3000, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                line[x] = qRgb((x / 16 + y / 24) & 255, ((x ^ y) >> 2) & 255, (y * 3 / 40) & 255);
        }
        QByteArray out;
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setQuality(90);
        writer.write(image);
        return out;
    }();
    return bytes;
}

void thumbnailOfCameraPhoto(benchmark::State &state)
{
    const QByteArray &photo = cameraPhoto();
    qsizetype size = 0;
    for (auto _ : state) {
        const auto thumbnail = ThumbnailService::shared().generateThumbnail(photo);
        size = thumbnail ? thumbnail->size() : -1;
        benchmark::DoNotOptimize(size);
    }
    state.counters["photo_bytes"] = double(photo.size());
    state.counters["thumbnail_bytes"] = double(size);
}

// What the thumbnail would cost without scaled decoding: the reference for the figure above.
void fullDecodeAndResize(benchmark::State &state)
{
    const QByteArray &photo = cameraPhoto();
    for (auto _ : state) {
        const QImage image = QImage::fromData(photo);
        const auto thumbnail =
            ThumbnailService::jpegData(ThumbnailService::resizedImage(image, QSize(400, 300)),
                                       ThumbnailService::thumbnailQuality);
        benchmark::DoNotOptimize(thumbnail);
    }
}

void storageCheckOfCameraPhoto(benchmark::State &state)
{
    const QByteArray &photo = cameraPhoto();
    for (auto _ : state) {
        const auto stored = ThumbnailService::shared().compressForStorage(photo);
        benchmark::DoNotOptimize(stored);
    }
}

BENCHMARK(thumbnailOfCameraPhoto)->Name("thumbnail/4000x3000_jpeg")->Unit(benchmark::kMillisecond);
BENCHMARK(fullDecodeAndResize)
    ->Name("full_decode_and_resize/4000x3000_jpeg")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(storageCheckOfCameraPhoto)
    ->Name("storage_check/4000x3000_jpeg")
    ->Unit(benchmark::kMillisecond);

} // namespace
} // namespace quillory::bench
