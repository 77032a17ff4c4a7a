#!/usr/bin/python3
"""Draws Velmora's artwork into this folder.

The files it writes are committed and compiled into the program; the build
never runs this script. Run it again after changing a drawing:

    /usr/bin/python3 src/resources/draw_artwork.py

Needs Debian's python3-pil and fonts-liberation.
"""

import math
import os
import struct

from PIL import Image, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
SERIF_BOLD = "/usr/share/fonts/truetype/liberation/LiberationSerif-Bold.ttf"
SANS_BOLD = "/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf"


def out(name):
    return os.path.join(HERE, name)


# --- GIF89a writer -------------------------------------------------------
# Written here rather than left to an image library, so that every frame is
# full size, the colour table has all 256 entries and the disposal, delay,
# transparency, interlacing and repeat count are exactly what the windows
# expect to play (a player that loops a picture by its own frame delays).

def lzw_encode(indices, min_code_size=8):
    clear = 1 << min_code_size
    end = clear + 1
    out_bits = []
    bit_buffer = 0
    bit_count = 0
    data = bytearray()

    def emit(code, size):
        nonlocal bit_buffer, bit_count
        bit_buffer |= code << bit_count
        bit_count += size
        while bit_count >= 8:
            data.append(bit_buffer & 0xFF)
            bit_buffer >>= 8
            bit_count -= 8

    def reset():
        return {bytes([i]): i for i in range(clear)}, end + 1, min_code_size + 1

    table, next_code, code_size = reset()
    emit(clear, code_size)
    prefix = b""
    for index in indices:
        candidate = prefix + bytes([index])
        if candidate in table:
            prefix = candidate
            continue
        emit(table[prefix], code_size)
        if next_code < 4096:
            table[candidate] = next_code
            next_code += 1
            if next_code > (1 << code_size) and code_size < 12:
                code_size += 1
        else:
            emit(clear, code_size)
            table, next_code, code_size = reset()
        prefix = bytes([index])
    if prefix:
        emit(table[prefix], code_size)
    emit(end, code_size)
    if bit_count:
        data.append(bit_buffer & 0xFF)
    del out_bits
    return bytes(data)


def interlaced_rows(height):
    rows = []
    for start, step in ((0, 8), (4, 8), (2, 4), (1, 2)):
        rows.extend(range(start, height, step))
    return rows


def write_gif(path, frames, palette, delay_cs, transparent, loop, interlace):
    """frames: list of P-mode images sharing palette (a list of 256 RGB tuples)."""
    width, height = frames[0].size
    assert len(palette) == 256
    blob = bytearray(b"GIF89a")
    blob += struct.pack("<HHBBB", width, height, 0xF7, transparent, 0)  # global table, 8 bits, 256 entries
    for r, g, b in palette:
        blob += bytes((r, g, b))
    blob += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01" + struct.pack("<H", loop) + b"\x00"
    for frame in frames:
        # Graphic control: disposal 2 (restore to background), transparent index.
        blob += b"\x21\xF9\x04" + bytes([(2 << 2) | 1]) + struct.pack("<HB", delay_cs, transparent) + b"\x00"
        blob += b"\x2C" + struct.pack("<HHHHB", 0, 0, width, height, 0x40 if interlace else 0)
        pixels = frame.tobytes()
        order = interlaced_rows(height) if interlace else range(height)
        indices = b"".join(pixels[y * width:(y + 1) * width] for y in order)
        data = lzw_encode(indices)
        blob.append(8)
        for i in range(0, len(data), 255):
            chunk = data[i:i + 255]
            blob.append(len(chunk))
            blob += chunk
        blob.append(0)
    blob.append(0x3B)
    with open(path, "wb") as f:
        f.write(blob)


def gif_palette():
    """0 transparent, 1 black, 2-9 greys, 10-73 reds fading to white, rest white."""
    palette = [(255, 0, 255), (0, 0, 0)]
    palette += [(40 + 24 * i, 40 + 24 * i, 40 + 24 * i) for i in range(8)]
    palette += [(255, int(255 * i / 63), int(255 * i / 63)) for i in range(64)]
    palette += [(255, 255, 255)] * (256 - len(palette))
    return palette


TRANSPARENT, BLACK, GREY0, RED0 = 0, 1, 2, 10


def red(fade):
    """fade 0.0 = full red, 1.0 = almost white."""
    return RED0 + min(63, int(round(fade * 55)))


def lattice(draw, tip, base_left, base_right, colour, braces):
    (tx, ty), (lx, by), (rx, _) = tip, base_left, base_right
    draw.line([(tx, ty), (lx, by)], fill=colour)
    draw.line([(tx, ty), (rx, by)], fill=colour)
    for k in range(braces):
        t0 = k / braces
        t1 = (k + 1) / braces
        y0 = ty + (by - ty) * t0
        y1 = ty + (by - ty) * t1
        left0 = tx + (lx - tx) * t0
        right0 = tx + (rx - tx) * t0
        left1 = tx + (lx - tx) * t1
        right1 = tx + (rx - tx) * t1
        draw.line([(left0, y0), (right1, y1)], fill=colour)
        draw.line([(right0, y0), (left1, y1)], fill=colour)
        draw.line([(left1, y1), (right1, y1)], fill=colour)


def antenna_frames():
    frames = []
    for k in range(10):
        image = Image.new("P", (35, 45), TRANSPARENT)
        draw = ImageDraw.Draw(image)
        radius = 2 + k * 1.5
        draw.ellipse([17 - radius, 7 - radius, 17 + radius, 7 + radius], outline=red(k / 10), width=2 if k < 6 else 1)
        lattice(draw, (17, 7), (8, 44), (26, 44), BLACK, 5)
        draw.line([(17, 2), (17, 7)], fill=BLACK)
        frames.append(image)
    return frames


def tower_frames():
    frames = []
    tip = (60, 34)
    for k in range(7):
        image = Image.new("P", (120, 263), TRANSPARENT)
        draw = ImageDraw.Draw(image)
        for ring in range(3):
            phase = (k + ring * 7 / 3) % 7 / 7
            radius = 6 + phase * 52
            draw.ellipse([tip[0] - radius, tip[1] - radius, tip[0] + radius, tip[1] + radius],
                         outline=red(phase), width=3)
        lattice(draw, tip, (30, 262), (90, 262), GREY0 + 2, 12)
        lattice(draw, tip, (38, 262), (82, 262), GREY0 + 4, 12)
        draw.line([(60, 4), (60, tip[1])], fill=GREY0 + 1, width=2)
        frames.append(image)
    return frames


def banner():
    image = Image.new("RGB", (274, 51), (255, 255, 255))
    font = ImageFont.truetype(SERIF_BOLD, 42)
    word = "Velmora"
    box = font.getbbox(word)
    x = (274 - (box[2] - box[0])) // 2 - box[0]
    y = (51 - (box[3] - box[1])) // 2 - box[1] - 1
    shadow = Image.new("L", image.size, 0)
    ImageDraw.Draw(shadow).text((x + 3, y + 3), word, font=font, fill=150)
    shadow = shadow.filter(ImageFilter.GaussianBlur(2))
    grey = Image.new("RGB", image.size, (110, 110, 130))
    image = Image.composite(grey, image, shadow)
    ImageDraw.Draw(image).text((x, y), word, font=font, fill=(20, 40, 200))
    image.save(out("banner.bmp"))


def sixteen_colours(image):
    """Reduces an RGB drawing to the classic 16-colour palette."""
    vga = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
           (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
           (255, 0, 255), (0, 255, 255), (255, 255, 255)]
    palette_image = Image.new("P", (1, 1))
    palette_image.putpalette([c for rgb in vga for c in rgb] + [0] * (768 - 48))
    return image.convert("RGB").quantize(colors=16, palette=palette_image, dither=Image.Dither.NONE)


def program_icon():
    """A person pointing at a board."""
    image = Image.new("RGB", (32, 32), (0, 128, 128))
    draw = ImageDraw.Draw(image)
    draw.rectangle([12, 3, 30, 19], fill=(255, 255, 255), outline=(0, 0, 0))   # the board
    for y in (7, 11, 15):
        draw.line([(15, y), (27, y)], fill=(0, 0, 255))
    draw.line([(21, 19), (19, 29)], fill=(128, 0, 0))                       # easel legs
    draw.line([(22, 19), (25, 29)], fill=(128, 0, 0))
    draw.ellipse([3, 9, 9, 15], fill=(255, 255, 0), outline=(0, 0, 0))      # head
    draw.rectangle([4, 16, 8, 24], fill=(255, 0, 0), outline=(0, 0, 0))     # body
    draw.line([(8, 17), (14, 12)], fill=(0, 0, 0), width=2)                 # pointing arm
    draw.line([(5, 25), (4, 30)], fill=(0, 0, 128), width=2)                # legs
    draw.line([(7, 25), (8, 30)], fill=(0, 0, 128), width=2)
    icon = sixteen_colours(image)
    icon.save(out("velmora.png"))
    icon.convert("RGBA").save(out("velmora.ico"), sizes=[(32, 32)])
    desktop_icons(icon.convert("RGB"))


def desktop_icons(icon):
    """The program icon in the desktop icon theme's sizes: whole multiples
    keep the pixel drawing sharp; the others are smoothed from a larger copy."""
    os.makedirs(out("hicolor"), exist_ok=True)
    for size in (16, 24, 32, 48, 64, 128, 256):
        if size % 32 == 0:
            image = icon.resize((size, size), Image.NEAREST)
        else:
            image = icon.resize((256, 256), Image.NEAREST).resize((size, size), Image.LANCZOS)
        image.save(out("hicolor/velmora_%d.png" % size))


def help_icon(size):
    """A blue question mark in a white speech bubble, drawn large and reduced."""
    big = 8 * size
    image = Image.new("RGBA", (big, big), (0, 0, 0, 0))
    draw = ImageDraw.Draw(image)
    s = big / 48
    outline = max(2, int(2 * s))
    draw.polygon([(12 * s, 36 * s), (8 * s, 46 * s), (22 * s, 38 * s)], fill=(255, 255, 255, 255),
                 outline=(40, 60, 120, 255))
    draw.ellipse([2 * s, 2 * s, 46 * s, 40 * s], fill=(255, 255, 255, 255), outline=(40, 60, 120, 255),
                 width=outline)
    draw.polygon([(13 * s, 35 * s), (10 * s, 43 * s), (21 * s, 37 * s)], fill=(255, 255, 255, 255))
    font = ImageFont.truetype(SANS_BOLD, int(34 * s))
    box = draw.textbbox((0, 0), "?", font=font)
    draw.text((24 * s - (box[0] + box[2]) / 2, 21 * s - (box[1] + box[3]) / 2), "?", font=font,
              fill=(20, 70, 220, 255))
    image.resize((size, size), Image.LANCZOS).save(out("ajuda_%d.png" % size))


def about_icon():
    """An information sign: a white letter i on a blue disc."""
    image = Image.new("RGB", (32, 32), (192, 192, 192))
    draw = ImageDraw.Draw(image)
    draw.ellipse([1, 1, 30, 30], fill=(0, 0, 255), outline=(0, 0, 128))
    draw.ellipse([13, 5, 18, 10], fill=(255, 255, 255))
    draw.rectangle([13, 13, 18, 25], fill=(255, 255, 255))
    draw.rectangle([11, 24, 20, 26], fill=(255, 255, 255))
    draw.rectangle([11, 13, 13, 14], fill=(255, 255, 255))
    sixteen_colours(image).save(out("sobre.png"))


def main():
    palette = gif_palette()
    write_gif(out("antenna.gif"), antenna_frames(), palette, delay_cs=10, transparent=TRANSPARENT, loop=9999,
              interlace=False)
    write_gif(out("tower.gif"), tower_frames(), palette, delay_cs=15, transparent=TRANSPARENT, loop=0,
              interlace=True)
    banner()
    program_icon()
    for size in (16, 32, 48):
        help_icon(size)
    about_icon()


if __name__ == "__main__":
    main()
