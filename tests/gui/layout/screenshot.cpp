// The PNG is written uncompressed (zlib "stored" blocks): no compression library needed, and
// the file is still a valid PNG that every viewer opens.

#include "gui/layout/screenshot.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace vex_test {

namespace {

std::uint32_t crc32(const std::uint8_t* p, std::size_t n, std::uint32_t crc = 0xFFFFFFFFu) {
  for (std::size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc;
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void chunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& data) {
  put32(out, static_cast<std::uint32_t>(data.size()));
  std::vector<std::uint8_t> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  out.insert(out.end(), body.begin(), body.end());
  put32(out, crc32(body.data(), body.size()) ^ 0xFFFFFFFFu);
}

// rgb: rows top to bottom, 3 bytes per pixel.
std::vector<std::uint8_t> encode_png(int width, int height, const std::vector<std::uint8_t>& rgb) {
  std::vector<std::uint8_t> raw;
  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // filter type None
    const std::uint8_t* line = rgb.data() + stride * static_cast<std::size_t>(y);
    raw.insert(raw.end(), line, line + stride);
  }

  std::vector<std::uint8_t> z = {0x78, 0x01};
  std::size_t pos = 0;
  do {
    const std::size_t n = std::min<std::size_t>(65535, raw.size() - pos);
    const bool last = pos + n == raw.size();
    z.push_back(last ? 1 : 0);
    z.push_back(static_cast<std::uint8_t>(n & 0xFF));
    z.push_back(static_cast<std::uint8_t>(n >> 8));
    z.push_back(static_cast<std::uint8_t>(~n & 0xFF));
    z.push_back(static_cast<std::uint8_t>((~n >> 8) & 0xFF));
    z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(pos),
             raw.begin() + static_cast<std::ptrdiff_t>(pos + n));
    pos += n;
  } while (pos < raw.size());
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t v : raw) {
    a = (a + v) % 65521;
    b = (b + a) % 65521;
  }
  put32(z, (b << 16) | a);

  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> ihdr;
  put32(ihdr, static_cast<std::uint32_t>(width));
  put32(ihdr, static_cast<std::uint32_t>(height));
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter, no interlace
  chunk(png, "IHDR", ihdr);
  chunk(png, "IDAT", z);
  chunk(png, "IEND", {});
  return png;
}

}  // namespace

bool save_client_png(HWND hwnd, const std::string& path) {
  RECT rc;
  if (!GetClientRect(hwnd, &rc)) return false;
  const int width = rc.right - rc.left, height = rc.bottom - rc.top;
  if (width <= 0 || height <= 0) return false;

  HDC window_dc = GetDC(hwnd);
  HDC mem_dc = CreateCompatibleDC(window_dc);
  HBITMAP bmp = CreateCompatibleBitmap(window_dc, width, height);
  HGDIOBJ old = SelectObject(mem_dc, bmp);
  const bool copied = BitBlt(mem_dc, 0, 0, width, height, window_dc, 0, 0, SRCCOPY) != 0;
  SelectObject(mem_dc, old);

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint8_t> bgra(static_cast<std::size_t>(width) * height * 4);
  const bool read = copied && GetDIBits(mem_dc, bmp, 0, static_cast<UINT>(height), bgra.data(),
                                        &info, DIB_RGB_COLORS) == height;
  DeleteObject(bmp);
  DeleteDC(mem_dc);
  ReleaseDC(hwnd, window_dc);
  if (!read) return false;

  std::vector<std::uint8_t> rgb;
  rgb.reserve(static_cast<std::size_t>(width) * height * 3);
  for (std::size_t i = 0; i < bgra.size(); i += 4) {
    rgb.push_back(bgra[i + 2]);
    rgb.push_back(bgra[i + 1]);
    rgb.push_back(bgra[i]);
  }
  const std::vector<std::uint8_t> png = encode_png(width, height, rgb);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool written = std::fwrite(png.data(), 1, png.size(), f) == png.size();
  return std::fclose(f) == 0 && written;
}

}  // namespace vex_test
