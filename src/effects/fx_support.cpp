#include "effects/fx_support.h"

#include <algorithm>
#include <exception>
#include <thread>

namespace pixtrel::fx {

namespace {

// Below this many bytes a thread costs more than it saves.
constexpr std::int64_t kMinBytesPerBand = 256 * 1024;

int BandCount(int rows, std::int64_t bytesPerRow) {
  const unsigned cores = std::max(1u, std::min(std::thread::hardware_concurrency(), 8u));
  const std::int64_t total = static_cast<std::int64_t>(rows) * std::max<std::int64_t>(bytesPerRow, 1);
  const std::int64_t byWork = std::max<std::int64_t>(1, total / kMinBytesPerBand);
  return static_cast<int>(std::min<std::int64_t>({static_cast<std::int64_t>(cores), byWork, rows}));
}

}  // namespace

std::vector<std::pair<int, int>> RowBands(int rows, std::int64_t bytesPerRow) {
  std::vector<std::pair<int, int>> bands;
  if (rows <= 0) return bands;
  const int count = BandCount(rows, bytesPerRow);
  for (int band = 0; band < count; ++band)
    bands.emplace_back(static_cast<int>(static_cast<std::int64_t>(rows) * band / count),
                       static_cast<int>(static_cast<std::int64_t>(rows) * (band + 1) / count));
  return bands;
}

void RunBands(std::size_t count, const std::function<void(std::size_t)>& work) {
  if (count == 0) return;
  if (count == 1) {
    work(0);
    return;
  }
  std::vector<std::exception_ptr> errors(count);
  auto run = [&](std::size_t band) {
    try {
      work(band);
    } catch (...) {
      errors[band] = std::current_exception();
    }
  };
  std::vector<std::thread> threads;
  threads.reserve(count - 1);
  for (std::size_t band = 1; band < count; ++band) threads.emplace_back(run, band);
  run(0);
  for (std::thread& thread : threads) thread.join();
  for (const std::exception_ptr& error : errors)
    if (error) std::rethrow_exception(error);
}

void ForRowBands(int rows, std::int64_t bytesPerRow, const std::function<void(int, int)>& work) {
  const std::vector<std::pair<int, int>> bands = RowBands(rows, bytesPerRow);
  RunBands(bands.size(), [&](std::size_t band) { work(bands[band].first, bands[band].second); });
}

}  // namespace pixtrel::fx
