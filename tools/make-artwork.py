#!/usr/bin/python3
"""Draws the application's built-in pictures into app/resources/ (committed; run again only
to change them):

  skin-default.bmp    254 x 63, 24-bit   the overlay's default skin
  skin-<name>.bmp     254 x 63, 24-bit   the gallery's other built-in skins (gallery_skins)
  options-back.bmp    420 x 274, 24-bit  the options window's background; everything outside
                                         the rounded panel is exactly RGB 64,64,64, the colour
                                         key that cuts the window into its shape
  hide-button.gif     22 x 22            the options window's hide button
  button.gif          156 x 30           the picture under "Apply Texture" / "Exit Application"
  moirelle.ico        16, 32, 48, 256    the program icon (32-bit images; 256 stored as PNG)

and the animated skin into samples/ (see animated_skin):

  samples/skin-shimmer.gif   320 x 40, 24 frames of 80 ms, looping: a slow shimmer
  docs/skin-shimmer.png      a still of it, four times as large, for the README

The options window is 405 x 266 pixels at 96 dpi and shows the background 8 pixels to the
left of its own origin, so window pixel (x, y) is background pixel (x + 8, y).
"""

import io
import os
import struct

from PIL import Image, ImageDraw, ImageFilter

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "app", "resources")

KEY = (64, 64, 64)           # the options window's colour key (&H404040)
PANEL = (20, 20, 20)         # behind the check boxes (&H141414)
HEADER_TOP = (34, 58, 104)
HEADER_BOTTOM = (22, 30, 48)
ACCENT = (64, 156, 255)
SEPARATOR = (65, 64, 64)     # one step off the key: drawn, never keyed
SHIFT_X = 8                  # background pixels left of the window's origin


def lerp(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


def vertical_gradient(size, top, bottom):
    w, h = size
    img = Image.new("RGB", size)
    px = img.load()
    for y in range(h):
        c = lerp(top, bottom, y / max(1, h - 1))
        for x in range(w):
            px[x, y] = c
    return img


def rounded_mask(size, box, radius, scale=4):
    """An anti-aliased mask of a rounded rectangle (drawn large, then reduced)."""
    w, h = size
    big = Image.new("L", (w * scale, h * scale), 0)
    x0, y0, x1, y1 = box
    ImageDraw.Draw(big).rounded_rectangle(
        (x0 * scale, y0 * scale, x1 * scale - 1, y1 * scale - 1), radius * scale, fill=255)
    return big.resize(size, Image.LANCZOS)


def default_skin():
    """Deep blue with soft light bands: reads well stretched to any taskbar."""
    w, h = 254, 63
    img = vertical_gradient((w, h), (28, 44, 86), (10, 16, 34))
    glow = Image.new("L", (w, h), 0)
    d = ImageDraw.Draw(glow)
    for i, (x, width, level) in enumerate([(30, 70, 90), (110, 40, 60), (170, 90, 80)]):
        d.polygon([(x, h), (x + width, h), (x + width + 40, 0), (x + 40, 0)], fill=level)
    glow = glow.filter(ImageFilter.GaussianBlur(9))
    light = Image.new("RGB", (w, h), (90, 160, 255))
    img = Image.composite(light, img, glow)
    top = ImageDraw.Draw(img)
    top.line([(0, 0), (w, 0)], fill=(110, 150, 220))
    return img


# The gallery's built-in skins: name -> picture, each 254 x 63 like the default skin and
# distinct from it and from each other at a glance (hue, lightness and pattern differ).
GALLERY_SKINS = ["ember", "aurora", "slate", "dusk", "moss", "sand"]


def horizontal_gradient(size, left, right):
    return vertical_gradient((size[1], size[0]), left, right).transpose(Image.Transpose.ROTATE_90)


def skin_ember():
    """Glowing coals: dark red rising into orange, with soft sparks."""
    w, h = 254, 63
    img = vertical_gradient((w, h), (60, 10, 4), (200, 70, 10))
    glow = Image.new("L", (w, h), 0)
    d = ImageDraw.Draw(glow)
    for x in range(6, w, 23):
        d.ellipse((x, h - 18 - (x * 7) % 13, x + 10, h - 8 - (x * 7) % 13), fill=200)
    glow = glow.filter(ImageFilter.GaussianBlur(4))
    return Image.composite(Image.new("RGB", (w, h), (255, 190, 80)), img, glow)


def skin_aurora():
    """Night sky with green and teal curtains."""
    w, h = 254, 63
    img = vertical_gradient((w, h), (4, 10, 24), (8, 28, 40))
    curtain = Image.new("L", (w, h), 0)
    d = ImageDraw.Draw(curtain)
    for i, x in enumerate(range(-20, w, 36)):
        d.polygon([(x, h), (x + 18, h), (x + 48, 0), (x + 30, 0)], fill=110 + (i % 3) * 40)
    curtain = curtain.filter(ImageFilter.GaussianBlur(6))
    light = horizontal_gradient((w, h), (40, 230, 120), (30, 170, 200))
    return Image.composite(light, img, curtain)


def skin_slate():
    """Brushed grey stone with fine horizontal grain."""
    w, h = 254, 63
    img = vertical_gradient((w, h), (150, 154, 160), (86, 90, 96))
    px = img.load()
    for y in range(h):
        grain = ((y * 37) % 11) - 5
        for x in range(w):
            r, g, b = px[x, y]
            t = grain + (((x * 13 + y * 7) % 5) - 2)
            px[x, y] = (max(0, min(255, r + t)), max(0, min(255, g + t)), max(0, min(255, b + t)))
    return img


def skin_dusk():
    """Sunset: violet above, pink and gold at the horizon."""
    w, h = 254, 63
    top = vertical_gradient((w, h // 2), (60, 30, 110), (190, 70, 140))
    bottom = vertical_gradient((w, h - h // 2), (240, 120, 110), (250, 200, 110))
    img = Image.new("RGB", (w, h))
    img.paste(top, (0, 0))
    img.paste(bottom, (0, h // 2))
    return img.filter(ImageFilter.GaussianBlur(2))


def skin_moss():
    """Deep forest green with leaf-like dapples."""
    w, h = 254, 63
    img = vertical_gradient((w, h), (20, 70, 30), (6, 34, 14))
    spots = Image.new("L", (w, h), 0)
    d = ImageDraw.Draw(spots)
    for i in range(40):
        x, y = (i * 53) % w, (i * 29) % h
        d.ellipse((x, y, x + 14, y + 8), fill=120)
    spots = spots.filter(ImageFilter.GaussianBlur(3))
    return Image.composite(Image.new("RGB", (w, h), (120, 180, 70)), img, spots)


def skin_sand():
    """Pale dunes: beige bands with soft shaded ridges."""
    w, h = 254, 63
    img = vertical_gradient((w, h), (236, 214, 170), (200, 166, 112))
    shade = Image.new("L", (w, h), 0)
    d = ImageDraw.Draw(shade)
    for i, y in enumerate(range(8, h, 14)):
        d.arc((-40 + i * 20, y - 20, w + 40 - i * 10, y + 24), 200, 340, fill=150, width=4)
    shade = shade.filter(ImageFilter.GaussianBlur(2))
    return Image.composite(Image.new("RGB", (w, h), (150, 112, 64)), img, shade)


def gallery_skins():
    return {name: globals()["skin_" + name]() for name in GALLERY_SKINS}


def write_gallery_skins():
    for name, img in gallery_skins().items():
        img.save(os.path.join(OUT, "skin-%s.bmp" % name))


def options_background():
    w, h = 420, 274
    # Window 405 x 266 seen through a shift of 8: the panel covers window (1..404, 1..265).
    panel_box = (SHIFT_X + 1, 1, SHIFT_X + 404, 266)
    img = Image.new("RGB", (w, h), PANEL)
    header = vertical_gradient((w, 45), HEADER_TOP, HEADER_BOTTOM)
    img.paste(header, (0, 0))
    d = ImageDraw.Draw(img)
    d.line([(panel_box[0], 45), (panel_box[2], 45)], fill=ACCENT)
    # A frame around the preview strip (window 16..393 x 48..89 at most).
    d.rectangle((SHIFT_X + 14, 47, SHIFT_X + 394, 91), outline=(48, 56, 72))
    # Separator between the slider and the check boxes.
    d.rectangle((SHIFT_X + 16, 116, SHIFT_X + 392, 117), fill=SEPARATOR)
    # A faint vertical rule between the check boxes and the buttons.
    d.line([(SHIFT_X + 220, 124), (SHIFT_X + 220, 182)], fill=(36, 36, 36))
    # A frame around the gallery strip (window 16..393 x 197..260).
    d.rectangle((SHIFT_X + 14, 195, SHIFT_X + 394, 262), outline=(48, 56, 72))
    mask = rounded_mask((w, h), panel_box, 12)
    out = Image.new("RGB", (w, h), KEY)
    out.paste(img, (0, 0), mask)
    # The key is exact: a blended edge pixel must never land on it by chance.
    px = out.load()
    m = mask.load()
    for y in range(h):
        for x in range(w):
            if m[x, y] > 0 and px[x, y] == KEY:
                px[x, y] = (KEY[0] + 1, KEY[1], KEY[2])
    return out


def hide_button(background):
    # The button sits at window (376, 8): it is drawn on the background it covers.
    x0, y0 = 376 + SHIFT_X, 8
    img = background.crop((x0, y0, x0 + 22, y0 + 22))
    scale = 4
    big = img.resize((22 * scale, 22 * scale), Image.NEAREST)
    d = ImageDraw.Draw(big)
    d.ellipse((1 * scale, 1 * scale, 21 * scale - 1, 21 * scale - 1), fill=(52, 80, 128),
              outline=(120, 170, 240), width=scale)
    d.rounded_rectangle((6 * scale, 10 * scale, 16 * scale, 12 * scale), scale, fill=(240, 244, 250))
    return big.resize((22, 22), Image.LANCZOS).convert("P", palette=Image.ADAPTIVE, colors=64)


def button_picture():
    w, h = 156, 30
    scale = 4
    big = Image.new("RGB", (w * scale, h * scale), PANEL)
    face = vertical_gradient((w * scale, h * scale), (58, 120, 220), (30, 72, 160))
    mask = Image.new("L", big.size, 0)
    ImageDraw.Draw(mask).rounded_rectangle((0, 0, w * scale - 1, h * scale - 1), 7 * scale, fill=255)
    big.paste(face, (0, 0), mask)
    d = ImageDraw.Draw(big)
    d.rounded_rectangle((scale, scale, w * scale - 1 - scale, h * scale // 2), 6 * scale,
                        outline=(110, 170, 255), width=scale)
    img = big.resize((w, h), Image.LANCZOS)
    return img.convert("P", palette=Image.ADAPTIVE, colors=128)


def icon_image(size):
    """A rounded tile with a picture strip under a translucent bar: a dressed taskbar."""
    scale = 4 if size < 256 else 1
    s = size * scale
    img = Image.new("RGBA", (s, s), (0, 0, 0, 0))
    tile = Image.new("RGBA", (s, s))
    grad = vertical_gradient((s, s), (66, 140, 255), (24, 52, 140)).convert("RGBA")
    tile.paste(grad)
    mask = Image.new("L", (s, s), 0)
    m = max(1, s // 16)
    ImageDraw.Draw(mask).rounded_rectangle((m, m, s - m - 1, s - m - 1), s // 5, fill=255)
    img.paste(tile, (0, 0), mask)
    d = ImageDraw.Draw(img)
    # The skin strip and the bar laid over it.
    d.rectangle((s * 3 // 16, s * 9 // 16, s * 13 // 16, s * 12 // 16), fill=(255, 190, 70, 255))
    d.rectangle((s * 3 // 16, s * 10 // 16, s * 13 // 16, s * 12 // 16), fill=(255, 255, 255, 170))
    d.rectangle((s * 4 // 16, s * 4 // 16, s * 12 // 16, s * 7 // 16 - 1), fill=(255, 255, 255, 235))
    return img.resize((size, size), Image.LANCZOS) if scale > 1 else img


def ico_bitmap_entry(img):
    """A 32-bit icon image: BITMAPINFOHEADER (double height), BGRA rows bottom-up, AND mask."""
    w, h = img.size
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    px = img.load()
    rows = bytearray()
    for y in range(h - 1, -1, -1):
        for x in range(w):
            r, g, b, a = px[x, y]
            rows += bytes((b, g, r, a))
    mask_row = ((w + 31) // 32) * 4
    mask = bytearray()
    for y in range(h - 1, -1, -1):
        bits = bytearray(mask_row)
        for x in range(w):
            if px[x, y][3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(rows) + bytes(mask)


def write_icon(path, sizes):
    entries = []
    for size in sizes:
        img = icon_image(size)
        if size >= 256:
            buf = io.BytesIO()
            img.save(buf, "PNG")
            data = buf.getvalue()
        else:
            data = ico_bitmap_entry(img)
        entries.append((size, data))
    out = bytearray(struct.pack("<HHH", 0, 1, len(entries)))
    offset = 6 + 16 * len(entries)
    for size, data in entries:
        dim = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in entries:
        out += data
    with open(path, "wb") as f:
        f.write(out)


def animated_skin():
    """A slow shimmer over deep blue: a soft diagonal light sweeps across in about 2 s and
    leaves the picture as it came, so the loop has no seam. 24 frames of 80 ms, one colour
    table for all of them."""
    w, h, frames = 320, 40, 24
    base = vertical_gradient((w, h), (30, 48, 92), (8, 14, 32))
    light = Image.new("RGB", (w, h), (120, 180, 255))
    travel = w + 160                 # the band starts and ends outside the picture
    pictures = []
    for f in range(frames):
        glow = Image.new("L", (w, h), 0)
        d = ImageDraw.Draw(glow)
        x = -80 + travel * f // frames
        d.polygon([(x, h), (x + 36, h), (x + 60, 0), (x + 24, 0)], fill=150)
        d.polygon([(x + 48, h), (x + 56, h), (x + 80, 0), (x + 72, 0)], fill=90)
        glow = glow.filter(ImageFilter.GaussianBlur(7))
        frame = Image.composite(light, base, glow)
        ImageDraw.Draw(frame).line([(0, 0), (w, 0)], fill=(110, 150, 220))
        pictures.append(frame)
    # One adaptive palette from a strip of every frame, used by all.
    strip = Image.new("RGB", (w, h * frames))
    for i, frame in enumerate(pictures):
        strip.paste(frame, (0, i * h))
    palette = strip.quantize(colors=256, method=Image.MEDIANCUT)
    indexed = [frame.quantize(palette=palette, dither=Image.NONE) for frame in pictures]
    samples = os.path.join(HERE, "..", "samples")
    indexed[0].save(os.path.join(samples, "skin-shimmer.gif"), save_all=True,
                    append_images=indexed[1:], duration=80, loop=0, disposal=1,
                    optimize=False)
    still = pictures[frames // 2].resize((w * 4 // 2, h * 4 // 2), Image.NEAREST)
    still.save(os.path.join(HERE, "..", "docs", "skin-shimmer.png"))


def main():
    os.makedirs(OUT, exist_ok=True)
    default_skin().save(os.path.join(OUT, "skin-default.bmp"))
    write_gallery_skins()
    back = options_background()
    back.save(os.path.join(OUT, "options-back.bmp"))
    hide_button(back).save(os.path.join(OUT, "hide-button.gif"))
    button_picture().save(os.path.join(OUT, "button.gif"))
    write_icon(os.path.join(OUT, "moirelle.ico"), [16, 32, 48, 256])
    animated_skin()


if __name__ == "__main__":
    main()
