// The gallery's and the drop's rules that need no running program: which layer a picture
// file becomes, the order of a drop, the thumbnail cache and its entries, the strip's slots
// and the thumbnails of pictures and textures.

#include "app/GallerySkins.h"
#include "app/SkinDropTarget.h"
#include "app/SkinGallery.h"
#include "app/SkinPictures.h"
#include "app/SkinSource.h"
#include "app/ThumbnailCache.h"

#include "platform/win/Text.h"
#include "tests/support/PngWriter.h"
#include "tests/support/TestPaths.h"
#include "tools/shelldriver/FileDrag.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace moirelle::app;
using namespace moirelle::test;

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> b) {
    std::vector<uint8_t> out;
    for (int v : b)
        out.push_back(static_cast<uint8_t>(v));
    return out;
}

std::vector<uint8_t> PngOfColourType(uint8_t colourType) {
    PngSpec s;
    s.width = 2;
    s.height = 1;
    s.colorType = colourType;
    const int channels[] = {1, 0, 3, 1, 2, 0, 4};
    s.pixels.assign(2 * static_cast<size_t>(channels[colourType]), 0x80);
    if (colourType == 3) s.palette = {0, 0, 0, 255, 255, 255};
    return EncodePng(s);
}

std::string AsText(const std::vector<uint8_t>& b) {
    return std::string(b.begin(), b.end());
}

} // namespace

TEST(SkinLayer, APngWithAlphaIsTheTextureOtherPicturesTheBaseAndTheRestNothing) {
    std::vector<uint8_t> emf(44, 0);
    emf[0] = 1;
    emf[40] = ' ', emf[41] = 'E', emf[42] = 'M', emf[43] = 'F';
    std::vector<uint8_t> notEmf = emf;
    notEmf[41] = 'X';
    std::vector<uint8_t> notIhdr = PngOfColourType(6);
    notIhdr[12] = 'J';
    std::vector<uint8_t> badType = PngOfColourType(6);
    badType[25] = 5;
    const std::vector<uint8_t> rgba = PngOfColourType(6);
    struct Case {
        const char* name;
        std::vector<uint8_t> head;
        SkinLayer layer;
    } cases[] = {
        {"PNG RGBA", rgba, SkinLayer::Texture},
        {"PNG grey + alpha", PngOfColourType(4), SkinLayer::Texture},
        {"PNG RGB", PngOfColourType(2), SkinLayer::Base},
        {"PNG palette", PngOfColourType(3), SkinLayer::Base},
        {"PNG grey", PngOfColourType(0), SkinLayer::Base},
        {"PNG, colour type 5", badType, SkinLayer::None},
        {"PNG without IHDR first", notIhdr, SkinLayer::None},
        {"PNG cut before its colour type", {rgba.begin(), rgba.begin() + 25}, SkinLayer::None},
        {"PNG cut after its colour type", {rgba.begin(), rgba.begin() + 26}, SkinLayer::Texture},
        {"bitmap", Bytes({'B', 'M', 0, 0}), SkinLayer::Base},
        {"GIF87a", Bytes({'G', 'I', 'F', '8', '7', 'a'}), SkinLayer::Base},
        {"GIF89a", Bytes({'G', 'I', 'F', '8', '9', 'a'}), SkinLayer::Base},
        {"GIF8 alone", Bytes({'G', 'I', 'F', '8'}), SkinLayer::None},
        {"JPEG", Bytes({0xFF, 0xD8, 0xFF, 0xE0}), SkinLayer::Base},
        {"icon", Bytes({0, 0, 1, 0, 1, 0}), SkinLayer::Base},
        {"cursor", Bytes({0, 0, 2, 0, 1, 0}), SkinLayer::Base},
        {"placeable metafile", Bytes({0xD7, 0xCD, 0xC6, 0x9A}), SkinLayer::Base},
        {"enhanced metafile", emf, SkinLayer::Base},
        {"record 1 without EMF", notEmf, SkinLayer::None},
        {"text", Bytes({'B', 'a', 'd', ' ', 't', 'e', 'x', 't'}), SkinLayer::None},
        {"B alone", Bytes({'B'}), SkinLayer::None},
        {"empty", {}, SkinLayer::None},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SkinLayerOf(c.head), c.layer) << c.name;
}

TEST(SkinDrop, TriesTheFilesInOrderAndKeepsTheFirstThatLoads) {
    const std::string dir = MakeTempDir("skin drop");
    const std::string text = JoinPath(dir, "notes.txt"), bmp = JoinPath(dir, "a.bmp"),
                      png = JoinPath(dir, "b.png"), gif = JoinPath(dir, "c.gif");
    ASSERT_TRUE(WriteFile(text, "plain words, no picture"));
    ASSERT_TRUE(WriteFile(bmp, "BM and then nothing a loader could read"));
    ASSERT_TRUE(WriteFile(png, AsText(PngOfColourType(6))));
    ASSERT_TRUE(WriteFile(gif, "GIF89a"));
    std::vector<std::pair<std::string, SkinLayer>> asked;
    auto loadsNoBitmap = [&](const std::string& path, SkinLayer layer) {
        asked.emplace_back(path, layer);
        return layer != SkinLayer::Base;
    };
    EXPECT_EQ(DropFiles({text, JoinPath(dir, "gone.png"), bmp, png, gif}, loadsNoBitmap), 3);
    const std::vector<std::pair<std::string, SkinLayer>> expected{{bmp, SkinLayer::Base},
                                                                  {png, SkinLayer::Texture}};
    EXPECT_EQ(asked, expected);
    asked.clear();
    EXPECT_EQ(DropFiles({text, bmp, gif}, loadsNoBitmap), -1);
    EXPECT_EQ(asked.size(), 2u) << "only the pictures are offered";
    asked.clear();
    EXPECT_EQ(DropFiles({text}, loadsNoBitmap), -1);
    EXPECT_TRUE(asked.empty());
}

// The target's answers while files are dragged over it and when they are dropped: a copy
// is offered while the files carry a picture and the source allows a copy; a drop keeps
// the first picture that loads.
TEST(SkinDrop, OffersACopyOnlyForPicturesAndKeepsWhatTheDropCarries) {
    using moirelle::shelldriver::FilesData;
    const std::string dir = MakeTempDir("skin drop target");
    const std::string text = JoinPath(dir, "notes.txt"), png = JoinPath(dir, "fx.png");
    ASSERT_TRUE(WriteFile(text, "plain words"));
    ASSERT_TRUE(WriteFile(png, AsText(PngOfColourType(6))));
    std::vector<std::pair<std::string, SkinLayer>> kept;
    // The target holds its callback, and this with it, for as long as it lives.
    auto alive = std::make_shared<int>();
    auto target = SkinDropTarget::Create([&, alive](const std::string& path, SkinLayer layer) {
        kept.emplace_back(path, layer);
        return true;
    });
    FilesData words({moirelle::win::Widen(text)}),
        picture({moirelle::win::Widen(text), moirelle::win::Widen(png)});
    const DWORD copyOrMove = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    auto enter = [&](IDataObject* data, DWORD allowed) {
        EXPECT_EQ(target->DragEnter(data, 0, {}, &allowed), S_OK);
        return allowed;
    };
    auto over = [&](DWORD allowed) {
        EXPECT_EQ(target->DragOver(0, {}, &allowed), S_OK);
        return allowed;
    };
    auto drop = [&](IDataObject* data, DWORD allowed) {
        EXPECT_EQ(target->Drop(data, 0, {}, &allowed), S_OK);
        return allowed;
    };
    EXPECT_EQ(enter(&words, copyOrMove), static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(over(copyOrMove), static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(enter(&picture, copyOrMove), static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(over(copyOrMove), static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(over(DROPEFFECT_MOVE), static_cast<DWORD>(DROPEFFECT_NONE)) << "no copy allowed";
    EXPECT_EQ(target->DragLeave(), S_OK);
    EXPECT_EQ(enter(&words, DROPEFFECT_COPY), static_cast<DWORD>(DROPEFFECT_NONE))
        << "a new drag is looked at anew";
    EXPECT_TRUE(kept.empty()) << "nothing is kept before a drop";

    EXPECT_EQ(drop(&words, copyOrMove), static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(drop(&picture, DROPEFFECT_MOVE), static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_TRUE(kept.empty());
    EXPECT_EQ(drop(&picture, copyOrMove), static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(kept, (std::vector<std::pair<std::string, SkinLayer>>{{png, SkinLayer::Texture}}));

    EXPECT_EQ(target->DragEnter(&picture, 0, {}, nullptr), E_INVALIDARG);
    EXPECT_EQ(target->DragOver(0, {}, nullptr), E_INVALIDARG);
    EXPECT_EQ(target->Drop(&picture, 0, {}, nullptr), E_INVALIDARG);
    void* out = &kept;
    EXPECT_EQ(target->QueryInterface(IID_IDataObject, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    ASSERT_EQ(target->QueryInterface(IID_IDropTarget, &out), S_OK);
    EXPECT_EQ(out, target.Get());
    EXPECT_EQ(target->Release(), 1u);
    EXPECT_EQ(alive.use_count(), 2) << "released while still held";
    target = {};
    EXPECT_EQ(alive.use_count(), 1) << "never released";
}

TEST(ThumbnailEntry, ReadsBackOnlyForTheSamePathAndStamp) {
    const Thumbnail t{3, 2, {0x102030, 0x405060, 0x708090, 0xA0B0C0, 0xD0E0F0, 0x010203}};
    const std::string path = "C:\\skins\\sky.bmp";
    const FileStamp stamp{12345, 0x01D9'0000'1234'5678};
    const std::vector<uint8_t> entry = EncodeThumbnail(path, stamp, t);
    // Magic, version, size, time, path length and path, width, height, pixels.
    EXPECT_EQ(entry.size(), 4 + 4 + 8 + 8 + 4 + path.size() + 4 + 4 + 6 * 4);
    EXPECT_EQ(DecodeThumbnail(entry, path, stamp), t);
    EXPECT_FALSE(DecodeThumbnail(entry, path, {12346, stamp.time}));
    EXPECT_FALSE(DecodeThumbnail(entry, path, {stamp.size, stamp.time + 1}));
    EXPECT_FALSE(DecodeThumbnail(entry, "C:\\skins\\sea.bmp", stamp));
    EXPECT_FALSE(DecodeThumbnail(entry, "C:\\skins\\sky.bm", stamp));
    std::vector<uint8_t> cut(entry.begin(), entry.end() - 1), longer = entry, magic = entry,
                                                              version = entry;
    longer.push_back(0);
    magic[0] = 'X';
    version[4] = 2;
    EXPECT_FALSE(DecodeThumbnail(cut, path, stamp));
    EXPECT_FALSE(DecodeThumbnail(longer, path, stamp));
    EXPECT_FALSE(DecodeThumbnail(magic, path, stamp));
    EXPECT_FALSE(DecodeThumbnail(version, path, stamp));
    EXPECT_FALSE(DecodeThumbnail({}, path, stamp));
    for (Thumbnail odd : {Thumbnail{0, 0, {}}, Thumbnail{0, 5, {}}, Thumbnail{5, 0, {}},
                          Thumbnail{257, 1, std::vector<uint32_t>(257)},
                          Thumbnail{1, 257, std::vector<uint32_t>(257)}})
        EXPECT_FALSE(DecodeThumbnail(EncodeThumbnail(path, stamp, odd), path, stamp))
            << odd.width << " x " << odd.height;
    const Thumbnail largest{256, 256, std::vector<uint32_t>(256 * 256, 7)};
    EXPECT_EQ(DecodeThumbnail(EncodeThumbnail(path, stamp, largest), path, stamp), largest);
}

// FNV-1a over the upper-cased UTF-16 units; the value worked out by hand in a script.
TEST(ThumbnailEntry, FileNameIsAHashOfThePathAsTheFileSystemComparesIt) {
    EXPECT_EQ(ThumbnailFileName("C:\\SKINS\\A.BMP"), "7207062d16917b28.thumb");
    EXPECT_EQ(ThumbnailFileName("c:\\skins\\a.bmp"), "7207062d16917b28.thumb");
    EXPECT_NE(ThumbnailFileName("c:\\skins\\b.bmp"), "7207062d16917b28.thumb");
}

TEST(ThumbnailCache, MakesAThumbnailOnceAndAgainWhenTheFileChanges) {
    const std::string dir = MakeTempDir("thumbnail cache");
    const std::string picture = JoinPath(dir, "sky.bmp"), other = JoinPath(dir, "sea.bmp");
    ASSERT_TRUE(WriteFile(picture, "first version"));
    ASSERT_TRUE(WriteFile(other, "another"));
    ThumbnailCache cache(JoinPath(dir, "thumbs"));
    int made = 0;
    uint32_t colour = 0x112233;
    auto exists = [](const std::string& p) {
        return GetFileAttributesW(moirelle::win::Widen(p).c_str()) != INVALID_FILE_ATTRIBUTES;
    };
    auto make = [&](const std::string&) {
        ++made;
        return std::optional<Thumbnail>(Thumbnail{1, 1, {colour}});
    };
    auto pixel = [&](const std::string& p) {
        auto t = cache.Get(p, make);
        return t ? t->pixels.at(0) : 0xFFFFFFFFu;
    };
    EXPECT_EQ(pixel(picture), 0x112233u);
    colour = 0x445566;
    EXPECT_EQ(pixel(picture), 0x112233u) << "made again";
    EXPECT_EQ(made, 1);
    // Another cache on the same folder (the next start) finds it too.
    ThumbnailCache again(JoinPath(dir, "thumbs"));
    EXPECT_TRUE(again.Get(picture, make));
    EXPECT_EQ(made, 1);
    // A new size.
    ASSERT_TRUE(WriteFile(picture, "the second version"));
    EXPECT_EQ(pixel(picture), 0x445566u);
    EXPECT_EQ(made, 2);
    // Same size, new time.
    colour = 0x778899;
    {
        HANDLE f = CreateFileW(moirelle::win::Widen(picture).c_str(), FILE_WRITE_ATTRIBUTES, 0,
                               nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        FILETIME t{0x12345678, 0x01D00000};
        EXPECT_TRUE(SetFileTime(f, nullptr, nullptr, &t));
        CloseHandle(f);
    }
    EXPECT_EQ(pixel(picture), 0x778899u);
    EXPECT_EQ(made, 3);
    // A spoilt entry is made again.
    const std::string entry = JoinPath(JoinPath(dir, "thumbs"), ThumbnailFileName(picture));
    ASSERT_TRUE(WriteFile(entry, "garbage"));
    EXPECT_EQ(pixel(picture), 0x778899u);
    EXPECT_EQ(made, 4);
    // A missing picture, or one the maker cannot read, gives nothing.
    EXPECT_FALSE(cache.Get(JoinPath(dir, "gone.bmp"), make));
    EXPECT_EQ(made, 4);
    EXPECT_FALSE(cache.Get(other, [](const std::string&) { return std::optional<Thumbnail>(); }));
    // Made thumbnails of odd sizes are refused, of the largest and of uneven sides taken.
    for (const Thumbnail& odd :
         {Thumbnail{2, 2, {1, 2, 3}}, Thumbnail{4, 2, {1, 2}}, Thumbnail{0, 3, {}},
          Thumbnail{-1, -1, {1}}, Thumbnail{257, 1, std::vector<uint32_t>(257)},
          Thumbnail{1, 257, std::vector<uint32_t>(257)}})
        EXPECT_FALSE(cache.Get(other, [&](const std::string&) { return std::optional(odd); }))
            << odd.width << " x " << odd.height;
    int n = 0;
    for (const Thumbnail& fine : {Thumbnail{4, 2, std::vector<uint32_t>(8, 9)},
                                  Thumbnail{256, 1, std::vector<uint32_t>(256, 9)},
                                  Thumbnail{1, 256, std::vector<uint32_t>(256, 9)}}) {
        const std::string each = JoinPath(dir, "fine" + std::to_string(++n) + ".bmp");
        ASSERT_TRUE(WriteFile(each, "x"));
        EXPECT_EQ(cache.Get(each, [&](const std::string&) { return std::optional(fine); }), fine)
            << fine.width << " x " << fine.height;
    }
    // A file's stamp is its size and its last-write time as one 64-bit count.
    {
        HANDLE f = CreateFileW(moirelle::win::Widen(other).c_str(), FILE_WRITE_ATTRIBUTES, 0,
                               nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        FILETIME t{0x9ABCDEF0, 0x01D12345};
        EXPECT_TRUE(SetFileTime(f, nullptr, nullptr, &t));
        CloseHandle(f);
    }
    EXPECT_EQ(StampOf(other), (FileStamp{7, 0x01D12345'9ABCDEF0}));
    EXPECT_FALSE(StampOf(dir)) << "a folder";
    // Only the entries of the pictures still shown stay.
    EXPECT_TRUE(cache.Get(other, make));
    std::vector<std::string> more;
    for (int i = 0; i < 3; ++i) {
        more.push_back(JoinPath(dir, "more" + std::to_string(i) + ".bmp"));
        ASSERT_TRUE(WriteFile(more.back(), "x"));
        EXPECT_TRUE(cache.Get(more.back(), make));
    }
    cache.KeepOnly({other});
    for (const std::string& p : more)
        EXPECT_FALSE(exists(JoinPath(JoinPath(dir, "thumbs"), ThumbnailFileName(p)))) << p;
    EXPECT_FALSE(exists(entry));
    EXPECT_TRUE(exists(JoinPath(JoinPath(dir, "thumbs"), ThumbnailFileName(other))));
}

// A strip of 380 x 65 pixels: cells of 47 x 32, the picture 2 pixels inside each.
TEST(GalleryStrip, SlotsAreCellsLessTheirFrameBorders) {
    const RECT first = GallerySlotRect(380, 65, {0, 0});
    EXPECT_EQ(first.left, 2);
    EXPECT_EQ(first.top, 2);
    EXPECT_EQ(first.right, 45);
    EXPECT_EQ(first.bottom, 30);
    const RECT last = GallerySlotRect(380, 65, {1, 7});
    EXPECT_EQ(last.left, 7 * 47 + 2);
    EXPECT_EQ(last.top, 32 + 2);
    EXPECT_EQ(last.right, 8 * 47 - 2);
    EXPECT_EQ(last.bottom, 64 - 2);
    struct Case {
        int x, y;
        std::optional<GallerySlot> slot;
    } cases[] = {
        {2, 2, GallerySlot{0, 0}},
        {44, 29, GallerySlot{0, 0}},
        {1, 10, std::nullopt},
        {45, 10, std::nullopt},
        {10, 1, std::nullopt},
        {10, 30, std::nullopt},
        {49, 34, GallerySlot{1, 1}},
        {48, 34, std::nullopt},
        {7 * 47 + 10, 40, GallerySlot{1, 7}},
        {377, 10, std::nullopt},
        {10, 64, std::nullopt},
        {-1, 10, std::nullopt},
        {10, -1, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GallerySlotAt(380, 65, c.x, c.y), c.slot) << c.x << ", " << c.y;
    EXPECT_EQ(GallerySlotAt(7, 65, 3, 3), std::nullopt) << "cells of no width";
}

TEST(GalleryPicture, ReplacesOnlyItsOwnLayer) {
    const Skin kept{"C:\\base.bmp", "C:\\fx.png"};
    EXPECT_EQ(SkinWithPicture(kept, "C:\\new.png", SkinLayer::Texture),
              (Skin{"C:\\base.bmp", "C:\\new.png"}));
    EXPECT_EQ(SkinWithPicture(kept, "C:\\new.jpg", SkinLayer::Base),
              (Skin{"C:\\new.jpg", "C:\\fx.png"}));
    EXPECT_EQ(SkinWithPicture(kept, "C:\\new.txt", SkinLayer::None), kept);
}

// Thumbnails are 64 x 40: a picture is stretched over all of it; a texture is drawn over
// the strip's dark grey (0x222222), its transparent part showing that grey.
TEST(SkinThumbnail, APictureFillsItATextureLiesOnTheStripsGrey) {
    const std::string dir = MakeTempDir("skin thumbnails");
    auto solid = [](uint8_t colourType, std::initializer_list<uint8_t> pixel) {
        PngSpec s;
        s.width = 8;
        s.height = 4;
        s.colorType = colourType;
        for (int i = 0; i < 32; ++i)
            s.pixels.insert(s.pixels.end(), pixel);
        return AsText(EncodePng(s));
    };
    PngSpec half;
    half.width = 8;
    half.height = 4;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            half.pixels.insert(half.pixels.end(),
                               {uint8_t(x < 4 ? 255 : 0), 0, 0, uint8_t(x < 4 ? 255 : 0)});
    const std::string rgb = JoinPath(dir, "teal.png"), rgba = JoinPath(dir, "half.png"),
                      text = JoinPath(dir, "words.png");
    ASSERT_TRUE(WriteFile(rgb, solid(2, {0, 128, 128})));
    ASSERT_TRUE(WriteFile(rgba, AsText(EncodePng(half))));
    ASSERT_TRUE(WriteFile(text, "not a picture at all, though named like one"));

    auto teal = MakeSkinThumbnail(rgb);
    ASSERT_TRUE(teal);
    EXPECT_EQ(teal->width, 64);
    EXPECT_EQ(teal->height, 40);
    ASSERT_EQ(teal->pixels.size(), 64u * 40u);
    for (size_t i : {size_t{0}, size_t{63}, size_t{64 * 39}, size_t{64 * 40 - 1}})
        EXPECT_EQ(teal->pixels[i], 0x008080u) << i;

    auto texture = MakeSkinThumbnail(rgba);
    ASSERT_TRUE(texture);
    EXPECT_EQ(texture->pixels[10], 0xFF0000u) << "the first row";
    for (int y : {2, 20, 30}) {
        EXPECT_EQ(texture->pixels[y * 64], 0xFF0000u) << y;
        EXPECT_EQ(texture->pixels[y * 64 + 4], 0xFF0000u) << y;
        EXPECT_EQ(texture->pixels[y * 64 + 60], 0x222222u) << y;
    }
    EXPECT_FALSE(MakeSkinThumbnail(text));
    EXPECT_FALSE(MakeSkinThumbnail(JoinPath(dir, "gone.png")));

    // A PNG without alpha is a base picture of its own size.
    auto picture = LoadBaseSource(rgb);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->PixelWidth(), 8);
    EXPECT_EQ(picture->PixelHeight(), 4);
    // The image library's route on its own (the plain loader may read PNG files too).
    auto opaque = OpaquePictureOf(rgb);
    ASSERT_TRUE(opaque);
    EXPECT_EQ(opaque->PixelWidth(), 8);
    EXPECT_EQ(opaque->PixelHeight(), 4);
    {
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP bitmap = CreateCompatibleBitmap(GetDC(nullptr), 8, 4);
        HGDIOBJ old = SelectObject(dc, bitmap);
        EXPECT_TRUE(opaque->Render(dc, 0, 0, 8, 4));
        EXPECT_EQ(GetPixel(dc, 3, 2), RGB(0, 128, 128));
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    EXPECT_FALSE(OpaquePictureOf(text));
    EXPECT_FALSE(LoadBaseSource(text));
    EXPECT_FALSE(LoadBaseSource(""));
}

// The registration holds the window's drop target for as long as it lives: meanwhile the
// window takes no other, afterwards it does.
TEST(SkinDrop, RegistrationEndsWithItsObject) {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    HWND window = CreateWindowExW(0, L"Static", L"drop here", WS_POPUP, 0, 0, 10, 10, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    auto other = SkinDropTarget::Create([](const std::string&, SkinLayer) { return true; });
    {
        SkinDropRegistration registration(window,
                                          [](const std::string&, SkinLayer) { return true; });
        EXPECT_EQ(RegisterDragDrop(window, other.Get()), DRAGDROP_E_ALREADYREGISTERED);
    }
    EXPECT_EQ(RegisterDragDrop(window, other.Get()), S_OK);
    RevokeDragDrop(window);
    DestroyWindow(window);
    OleUninitialize();
}
