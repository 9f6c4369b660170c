// Thumbnails of camera-sized photos: the service's scaled decoding against decoding every
// pixel and scaling afterwards, and the storage check of a photo that already fits.

#include "SyntheticPhoto.h"

#include <intake/ThumbnailService.h>

#include <QImage>
#include <benchmark/benchmark.h>

namespace quillory::bench {
namespace {

const QByteArray &cameraPhoto()
{
    static const QByteArray bytes = SyntheticPhoto::jpeg(4000, 3000);
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
