// The platform's formats on Windows through the Windows Imaging Component: a decoder chosen by
// WIC from the bytes in memory, its first frame converted to premultiplied 32-bit BGRA (so alpha
// is already over black) and copied out in bands of rows into the builder. PNG, GIF, TIFF and
// BMP decoders come with Windows; HEIC, AVIF and WebP only with the Store's codec extensions.
// COM is looked up at run time, so the module still starts on systems without it (no codecs).
#include <windows.h>

#include <objbase.h>
#include <propidl.h>
#include <wincodec.h>

#include <algorithm>
#include <vector>

#include "image/DibImageAccess.h"
#include "photo/ContainerExif.h"
#include "photo/PictureBuilder.h"
#include "photo/PlatformCodec.h"

namespace kavrosa {
namespace {

// Rows copied out of WIC per call: small enough to bound the band, large enough to be quick.
constexpr UINT kBandRows = 64;

// OLE32's entries, looked up once; null where the system has no COM of this kind.
struct ComEntries {
  using InitializeFn = HRESULT(WINAPI*)(LPVOID, DWORD);
  using UninitializeFn = void(WINAPI*)();
  using CreateFn = HRESULT(WINAPI*)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);
  using ClearFn = HRESULT(WINAPI*)(PROPVARIANT*);
  InitializeFn initialize = nullptr;
  UninitializeFn uninitialize = nullptr;
  CreateFn create = nullptr;
  ClearFn clear = nullptr;
  bool ok() const {
    return initialize != nullptr && uninitialize != nullptr && create != nullptr &&
           clear != nullptr;
  }
};

template <typename Fn>
Fn Entry(HMODULE module, const char* name) {
  return module != nullptr
             ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)))
             : nullptr;
}

const ComEntries& Com() {
  static const ComEntries entries = [] {
    HMODULE ole = LoadLibraryA("OLE32.DLL");  // stays loaded for the process
    ComEntries e;
    e.initialize = Entry<ComEntries::InitializeFn>(ole, "CoInitializeEx");
    e.uninitialize = Entry<ComEntries::UninitializeFn>(ole, "CoUninitialize");
    e.create = Entry<ComEntries::CreateFn>(ole, "CoCreateInstance");
    e.clear = Entry<ComEntries::ClearFn>(ole, "PropVariantClear");
    return e;
  }();
  return entries;
}

// Owns one COM interface pointer.
template <class T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() {
    if (p_ != nullptr) p_->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T** Out() { return &p_; }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

// COM on the calling thread (the folder worker) for the length of one decode.
class ComApartment {
 public:
  ComApartment() : hr_(Com().initialize(nullptr, COINIT_MULTITHREADED)) {}
  ~ComApartment() {
    if (SUCCEEDED(hr_)) Com().uninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  // Also usable when the thread already has an apartment of the other kind.
  bool usable() const { return SUCCEEDED(hr_) || hr_ == RPC_E_CHANGED_MODE; }

 private:
  HRESULT hr_;
};

// Clears a PROPVARIANT however it was filled.
class Property {
 public:
  Property() { PropVariantInit(&value_); }
  ~Property() { Com().clear(&value_); }
  Property(const Property&) = delete;
  Property& operator=(const Property&) = delete;
  PROPVARIANT* get() { return &value_; }

 private:
  PROPVARIANT value_;
};

const char* NoCodecMessage(PhotoFormat format) {
  switch (format) {
    case PhotoFormat::kHeif:
      return "this system has no codec for HEIF pictures (the HEIF or AV1 Video Extension)";
    case PhotoFormat::kWebp:
      return "this system has no codec for WebP pictures";
    default:
      return "this system has no codec for pictures of this kind";
  }
}

const char* RefusalMessage(PhotoFormat format) {
  switch (format) {
    case PhotoFormat::kPng:
      return "the system's PNG codec cannot read the picture (damaged, cut short or too large)";
    case PhotoFormat::kGif:
      return "the system's GIF codec cannot read the picture (damaged, cut short or too large)";
    case PhotoFormat::kTiff:
      return "the system's TIFF codec cannot read the picture (damaged, cut short or too large)";
    case PhotoFormat::kWebp:
      return "the system's WebP codec cannot read the picture (damaged, cut short or too large)";
    case PhotoFormat::kHeif:
      return "the system's HEIF codec cannot read the picture (damaged, cut short or too large)";
    default:
      return "the system's codec cannot read the picture";
  }
}

// The Orientation tag WIC finds in the frame's metadata: the photo policy name first (it
// covers TIFF, HEIF and JPEG where the codec offers it), then the TIFF path itself.
int32_t MetadataOrientation(IWICBitmapFrameDecode* frame) {
  ComRef<IWICMetadataQueryReader> reader;
  if (FAILED(frame->GetMetadataQueryReader(reader.Out())) || !reader) return 0;
  for (const wchar_t* name : {L"System.Photo.Orientation", L"/ifd/{ushort=274}"}) {
    Property value;
    if (FAILED(reader->GetMetadataByName(name, value.get()))) continue;
    if (value.get()->vt == VT_UI2 && value.get()->uiVal >= 1 && value.get()->uiVal <= 8)
      return value.get()->uiVal;
  }
  return 0;
}

// How the stored picture is turned upright. PNG and WebP keep Exif in chunks that WIC may not
// read, so those are found in the bytes; GIF has none.
int32_t OrientationOf(PhotoFormat format, const uint8_t* data, size_t size,
                      IWICBitmapFrameDecode* frame) {
  switch (format) {
    case PhotoFormat::kPng:
      return PngExifOrientation(data, size);
    case PhotoFormat::kWebp:
      return WebpExifOrientation(data, size);
    case PhotoFormat::kTiff:
    case PhotoFormat::kHeif:
      return MetadataOrientation(frame);
    default:
      return 0;
  }
}

enum class Outcome { kDecoded, kNoCodec, kRefused };

// A WIC memory stream is at most 4 GiB - 1 long (a question only a 64-bit build can ask).
bool FitsStream(uint64_t bytes) {
  return bytes <= MAXDWORD;
}

Outcome Decode(PhotoFormat format, const uint8_t* data, size_t size, Size bound, DibImage& image) {
  if (data == nullptr || size == 0 || !FitsStream(size)) return Outcome::kRefused;
  // A chunk claiming more bytes than the file holds would be allocated at that size by a PNG
  // decoder before it reads it (Wine's is libpng).
  if (format == PhotoFormat::kPng && !PngChunksInsideFile(data, size)) return Outcome::kRefused;
  ComRef<IWICImagingFactory> factory;
  if (FAILED(Com().create(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                          IID_IWICImagingFactory, reinterpret_cast<void**>(factory.Out())))) {
    return Outcome::kNoCodec;
  }
  ComRef<IWICStream> stream;
  if (FAILED(factory->CreateStream(stream.Out())) ||
      FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(data), static_cast<DWORD>(size)))) {
    return Outcome::kRefused;
  }
  ComRef<IWICBitmapDecoder> decoder;
  const HRESULT found = factory->CreateDecoderFromStream(
      stream.get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.Out());
  if (found == WINCODEC_ERR_COMPONENTNOTFOUND) return Outcome::kNoCodec;
  ComRef<IWICBitmapFrameDecode> frame;
  if (FAILED(found) || FAILED(decoder->GetFrame(0, frame.Out()))) return Outcome::kRefused;
  UINT width = 0, height = 0;
  if (FAILED(frame->GetSize(&width, &height)) || !DecodableSize(width, height, 24))
    return Outcome::kRefused;
  ComRef<IWICFormatConverter> converter;
  if (FAILED(factory->CreateFormatConverter(converter.Out())) ||
      FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppPBGRA,
                                   WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom))) {
    return Outcome::kRefused;
  }
  PictureBuilder builder;
  if (!builder.Begin(static_cast<int32_t>(width), static_cast<int32_t>(height),
                     OrientationOf(format, data, size, frame.get()), bound)) {
    return Outcome::kRefused;
  }
  try {
    const UINT stride = width * 4;
    std::vector<BYTE> band(size_t{stride} * std::min(kBandRows, height));
    std::vector<uint8_t> bgr(size_t{width} * 3);
    for (UINT top = 0; top < height; top += kBandRows) {
      const UINT rows = std::min(kBandRows, height - top);
      const WICRect area{0, static_cast<INT>(top), static_cast<INT>(width), static_cast<INT>(rows)};
      if (FAILED(converter->CopyPixels(&area, stride, stride * rows, band.data())))
        return Outcome::kRefused;
      for (UINT y = 0; y < rows; ++y) {
        // Premultiplied: over black, the colour is as it stands.
        const BYTE* in = band.data() + size_t{stride} * y;
        for (UINT x = 0; x < width; ++x) {
          bgr[3 * x] = in[4 * x], bgr[3 * x + 1] = in[4 * x + 1], bgr[3 * x + 2] = in[4 * x + 2];
        }
        builder.PushRow(bgr.data());
      }
    }
  } catch (const std::bad_alloc&) {
    return Outcome::kRefused;
  }
  return builder.Finish(image) ? Outcome::kDecoded : Outcome::kRefused;
}

}  // namespace

PhotoResult DecodeWithPlatformCodec(PhotoFormat format, const uint8_t* data, size_t size,
                                    Size bound, DibImage& image) {
  DibImageAccess::Loaded(image) = 0;
  PhotoResult result;
  result.format = format;
  if (format == PhotoFormat::kJpeg || format == PhotoFormat::kBmp ||
      format == PhotoFormat::kUnknown) {
    result.error = PhotoError::kNoCodec;
    return result;
  }
  Outcome outcome = Outcome::kNoCodec;
  if (Com().ok()) {
    const ComApartment com;
    if (com.usable()) outcome = Decode(format, data, size, bound, image);
  }
  if (outcome != Outcome::kDecoded) {
    result.error = PhotoError::kCodec;
    result.codecMessage =
        outcome == Outcome::kNoCodec ? NoCodecMessage(format) : RefusalMessage(format);
    DibImageAccess::Loaded(image) = 0;
  }
  return result;
}

}  // namespace kavrosa
