#include "heading.h"

#include <wincodec.h>

#include <stdexcept>
#include <string>

namespace hexlark {
namespace {

constexpr UINT kBytesPerPixel = 4;

// Releases a COM interface when it goes out of scope.
template <typename Interface> class ComRef
{
public:
    ComRef() = default;
    ~ComRef()
    {
        if (m_pointer != nullptr) {
            m_pointer->Release();
        }
    }
    ComRef(const ComRef &) = delete;
    ComRef &operator=(const ComRef &) = delete;

    Interface *operator->() const { return m_pointer; }
    Interface *get() const { return m_pointer; }
    Interface **put() { return &m_pointer; }
    void **putVoid() { return reinterpret_cast<void **>(&m_pointer); }

private:
    Interface *m_pointer = nullptr;
};

void check(HRESULT result, const char *step)
{
    if (FAILED(result)) {
        throw std::runtime_error(std::string("cannot decode the heading picture: ") + step +
                                 " failed");
    }
}

} // namespace

Heading::Heading(HINSTANCE instance, int resourceId)
{
    HRSRC info = FindResourceW(instance, MAKEINTRESOURCEW(resourceId), RT_RCDATA);
    HGLOBAL resource = info != nullptr ? LoadResource(instance, info) : nullptr;
    void *bytes = resource != nullptr ? LockResource(resource) : nullptr;
    const DWORD size = info != nullptr ? SizeofResource(instance, info) : 0;
    if (bytes == nullptr || size == 0) {
        throw std::runtime_error("the heading picture is missing from the program's resources");
    }

    ComRef<IWICImagingFactory> factory;
    check(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                           IID_IWICImagingFactory, factory.putVoid()),
          "creating the imaging factory");
    ComRef<IWICStream> stream;
    check(factory->CreateStream(stream.put()), "creating a stream");
    check(stream->InitializeFromMemory(static_cast<BYTE *>(bytes), size), "reading the resource");
    ComRef<IWICBitmapDecoder> decoder;
    check(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                           decoder.put()),
          "finding a decoder");
    ComRef<IWICBitmapFrameDecode> frame;
    check(decoder->GetFrame(0, frame.put()), "reading the frame");
    ComRef<IWICFormatConverter> converter;
    check(factory->CreateFormatConverter(converter.put()), "creating a converter");
    check(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone,
                                nullptr, 0.0, WICBitmapPaletteTypeCustom),
          "converting to 32-bit BGR");
    UINT width = 0;
    UINT height = 0;
    check(converter->GetSize(&width, &height), "reading the size");

    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = static_cast<LONG>(width);
    format.bmiHeader.biHeight = -static_cast<LONG>(height); // top-down rows, as WIC gives them
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = kBytesPerPixel * 8;
    format.bmiHeader.biCompression = BI_RGB;
    void *pixels = nullptr;
    m_bitmap = CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (m_bitmap == nullptr) {
        throw std::runtime_error("cannot create a bitmap for the heading picture");
    }
    const UINT stride = width * kBytesPerPixel;
    const HRESULT copied =
        converter->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE *>(pixels));
    if (FAILED(copied)) {
        DeleteObject(m_bitmap);
        check(copied, "copying the pixels");
    }
    m_width = static_cast<int>(width);
    m_height = static_cast<int>(height);
}

Heading::~Heading()
{
    DeleteObject(m_bitmap);
}

void Heading::draw(HDC dc, int width, int height) const
{
    HDC source = CreateCompatibleDC(dc);
    if (source == nullptr) {
        return; // nothing drawn this time; the next paint tries again
    }
    HGDIOBJ previous = SelectObject(source, m_bitmap);
    if (width == m_width && height == m_height) {
        BitBlt(dc, 0, 0, width, height, source, 0, 0, SRCCOPY);
    } else {
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchBlt(dc, 0, 0, width, height, source, 0, 0, m_width, m_height, SRCCOPY);
    }
    SelectObject(source, previous);
    DeleteDC(source);
}

} // namespace hexlark
