// Worker threads take indices from one shared counter until none are left.
#include "ParallelDeflate.h"

#include <windows.h>
#include <process.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>

namespace {

struct SharedWork {
  int count = 0;
  void (*work)(void*, int) = nullptr;
  void* context = nullptr;
  std::atomic<int> next{0};
};

void TakeIndices(SharedWork* shared) {
  for (int index = shared->next++; index < shared->count; index = shared->next++) shared->work(shared->context, index);
}

unsigned __stdcall DeflateWorkerThread(void* shared) noexcept {
  TakeIndices(static_cast<SharedWork*>(shared));
  return 0;
}

z_stream* Stream(void* stream) { return static_cast<z_stream*>(stream); }

bool Drain(z_stream* z, int flush, std::vector<uint8_t>* buffer, std::vector<uint8_t>* output) {
  do {
    z->next_out = buffer->data();
    z->avail_out = uInt(buffer->size());
    if (deflate(z, flush) == Z_STREAM_ERROR) return false;
    output->insert(output->end(), buffer->data(), z->next_out);
  } while (z->avail_out == 0 || z->avail_in > 0);
  return true;
}

}  // namespace

void RunOnAllProcessors(int count, void (*work)(void* context, int index), void* context) {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  int helpers = std::clamp(int(system.dwNumberOfProcessors), 1, 16) - 1;
  SharedWork shared;
  shared.count = count;
  shared.work = work;
  shared.context = context;
  std::vector<HANDLE> threads;
  for (int i = 0; i < std::min(helpers, count - 1); ++i) {
    auto handle = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, DeflateWorkerThread, &shared, 0, nullptr));
    if (handle != nullptr) threads.push_back(handle);
  }
  TakeIndices(&shared);
  if (!threads.empty()) WaitForMultipleObjects(DWORD(threads.size()), threads.data(), TRUE, INFINITE);
  for (HANDLE thread : threads) CloseHandle(thread);
}

bool FastDeflater::Start(int level, bool wrapped) {
  stream = new z_stream{};
  buffer.resize(size_t(1) << 18);
  if (deflateInit2(Stream(stream), level, Z_DEFLATED, wrapped ? 15 : -15, 8, Z_RLE) == Z_OK) return true;
  delete Stream(stream);
  stream = nullptr;
  return false;
}

bool FastDeflater::Add(const uint8_t* bytes, size_t size, std::vector<uint8_t>* output) {
  z_stream* z = Stream(stream);
  z->next_in = const_cast<Bytef*>(bytes);
  z->avail_in = uInt(size);
  return Drain(z, Z_NO_FLUSH, &buffer, output);
}

bool FastDeflater::Finish(bool last, std::vector<uint8_t>* output) { return Drain(Stream(stream), last ? Z_FINISH : Z_SYNC_FLUSH, &buffer, output); }

FastDeflater::~FastDeflater() {
  if (stream == nullptr) return;
  deflateEnd(Stream(stream));
  delete Stream(stream);
}
