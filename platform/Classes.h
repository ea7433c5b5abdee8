// Byte streams of the runtime: the abstract stream, files and memory.
//
// `Read`/`Write` move as many bytes as they can and return the count;
// `ReadBuffer`/`WriteBuffer` move exactly the count asked for or raise
// (EReadError "Stream read error", EWriteError "Stream write error"), naming
// the stream and the offset where they stopped.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/SysUtils.h"

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream : public TObject {
 public:
  virtual int64_t Read(void* ABuffer, int64_t ACount) = 0;
  virtual int64_t Write(const void* ABuffer, int64_t ACount) = 0;
  virtual int64_t Seek(int64_t AOffset, TSeekOrigin AOrigin) = 0;

  void ReadBuffer(void* ABuffer, int64_t ACount);
  void WriteBuffer(const void* ABuffer, int64_t ACount);

  int64_t GetPosition() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t APos) { Seek(APos, TSeekOrigin::soBeginning); }
  int64_t GetSize();
  // Bytes left between the position and the end.
  int64_t Remaining() { return GetSize() - GetPosition(); }

  // How the stream is named in error messages (a file name, "memory stream").
  virtual std::string Describe() const = 0;
};

enum class TFileMode { fmCreate, fmOpenRead, fmOpenWrite, fmOpenReadWrite };

// A file on disk. fmCreate creates the file or truncates an existing one;
// the open modes require it to exist. Failures raise EFCreateError
// ("Cannot create file "<name>". <reason>") or EFOpenError
// ("Cannot open file "<name>". <reason>").
class TFileStream : public TStream {
 public:
  TFileStream(const std::string& AFileName, TFileMode AMode);
  ~TFileStream() override;

  int64_t Read(void* ABuffer, int64_t ACount) override;
  int64_t Write(const void* ABuffer, int64_t ACount) override;
  int64_t Seek(int64_t AOffset, TSeekOrigin AOrigin) override;
  std::string Describe() const override { return "file \"" + FFileName + "\""; }
  const std::string& FileName() const { return FFileName; }

 private:
  std::string FFileName;
  int FHandle = -1;
};

// A growable block of memory.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<uint8_t> AData) : FData(std::move(AData)) {}

  int64_t Read(void* ABuffer, int64_t ACount) override;
  int64_t Write(const void* ABuffer, int64_t ACount) override;
  int64_t Seek(int64_t AOffset, TSeekOrigin AOrigin) override;
  std::string Describe() const override { return "memory stream"; }

  const std::vector<uint8_t>& Data() const { return FData; }
  std::vector<uint8_t>& Data() { return FData; }
  void Clear() { FData.clear(); FPosition = 0; }

 private:
  std::vector<uint8_t> FData;
  int64_t FPosition = 0;
};
