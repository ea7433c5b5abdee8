#include "platform/Classes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

void TStream::ReadBuffer(void* ABuffer, int64_t ACount) {
  if (ACount <= 0) return;
  const int64_t start = GetPosition();
  const int64_t got = Read(ABuffer, ACount);
  if (got != ACount)
    throw EReadError(Format("Stream read error: %s holds %lld of the %lld bytes wanted at offset %lld",
                            Describe().c_str(), static_cast<long long>(got < 0 ? 0 : got),
                            static_cast<long long>(ACount), static_cast<long long>(start)));
}

void TStream::WriteBuffer(const void* ABuffer, int64_t ACount) {
  if (ACount <= 0) return;
  const int64_t start = GetPosition();
  const int64_t put = Write(ABuffer, ACount);
  if (put != ACount)
    throw EWriteError(Format("Stream write error: %s took %lld of %lld bytes at offset %lld",
                             Describe().c_str(), static_cast<long long>(put < 0 ? 0 : put),
                             static_cast<long long>(ACount), static_cast<long long>(start)));
}

int64_t TStream::GetSize() {
  const int64_t pos = Seek(0, TSeekOrigin::soCurrent);
  const int64_t size = Seek(0, TSeekOrigin::soEnd);
  Seek(pos, TSeekOrigin::soBeginning);
  return size;
}

// ---------------------------------------------------------------------------

TFileStream::TFileStream(const std::string& AFileName, TFileMode AMode) : FFileName(AFileName) {
  int flags = O_CLOEXEC;
  switch (AMode) {
    case TFileMode::fmCreate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case TFileMode::fmOpenRead: flags |= O_RDONLY; break;
    case TFileMode::fmOpenWrite: flags |= O_WRONLY; break;
    case TFileMode::fmOpenReadWrite: flags |= O_RDWR; break;
  }
  FHandle = ::open(AFileName.c_str(), flags, 0644);
  if (FHandle < 0) {
    const char* reason = std::strerror(errno);
    if (AMode == TFileMode::fmCreate)
      throw EFCreateError(Format("Cannot create file \"%s\". %s", AFileName.c_str(), reason));
    throw EFOpenError(Format("Cannot open file \"%s\". %s", AFileName.c_str(), reason));
  }
  // A folder opens read-only on Linux; refuse it like an unreadable file.
  struct stat st {};
  if (::fstat(FHandle, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(FHandle);
    FHandle = -1;
    throw EFOpenError(Format("Cannot open file \"%s\". %s", AFileName.c_str(), std::strerror(EISDIR)));
  }
}

TFileStream::~TFileStream() {
  if (FHandle >= 0) ::close(FHandle);
}

int64_t TFileStream::Read(void* ABuffer, int64_t ACount) {
  auto* out = static_cast<uint8_t*>(ABuffer);
  int64_t done = 0;
  while (done < ACount) {
    const ssize_t n = ::read(FHandle, out + done, static_cast<size_t>(ACount - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t TFileStream::Write(const void* ABuffer, int64_t ACount) {
  const auto* in = static_cast<const uint8_t*>(ABuffer);
  int64_t done = 0;
  while (done < ACount) {
    const ssize_t n = ::write(FHandle, in + done, static_cast<size_t>(ACount - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t TFileStream::Seek(int64_t AOffset, TSeekOrigin AOrigin) {
  const int whence = AOrigin == TSeekOrigin::soBeginning ? SEEK_SET
                     : AOrigin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                         : SEEK_END;
  const off_t r = ::lseek(FHandle, static_cast<off_t>(AOffset), whence);
  return r < 0 ? -1 : static_cast<int64_t>(r);
}

// ---------------------------------------------------------------------------

int64_t TMemoryStream::Read(void* ABuffer, int64_t ACount) {
  const int64_t size = static_cast<int64_t>(FData.size());
  if (ACount <= 0 || FPosition >= size) return 0;
  const int64_t n = std::min(ACount, size - FPosition);
  std::memcpy(ABuffer, FData.data() + FPosition, static_cast<size_t>(n));
  FPosition += n;
  return n;
}

int64_t TMemoryStream::Write(const void* ABuffer, int64_t ACount) {
  if (ACount <= 0) return 0;
  const auto end = static_cast<size_t>(FPosition + ACount);
  if (end > FData.size()) FData.resize(end);
  std::memcpy(FData.data() + FPosition, ABuffer, static_cast<size_t>(ACount));
  FPosition += ACount;
  return ACount;
}

int64_t TMemoryStream::Seek(int64_t AOffset, TSeekOrigin AOrigin) {
  const int64_t base = AOrigin == TSeekOrigin::soBeginning ? 0
                       : AOrigin == TSeekOrigin::soCurrent ? FPosition
                                                           : static_cast<int64_t>(FData.size());
  const int64_t target = base + AOffset;
  if (target >= 0) FPosition = target;
  return FPosition;
}
