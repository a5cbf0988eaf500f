#!/usr/bin/env python3
"""Draws a small scene on the image shown by a running Pixtrel.

The desktop program offers its drawing object IBoard on the D-Bus session bus
(service org.pixtrel.Pixtrel10, object /Board). This client needs nothing but
Python and the gdbus command (Debian package libglib2.0-bin):

    build/pixtrel &
    examples/draw_figure.py            # draws on a new 320 x 240 image
    examples/draw_figure.py --keep     # draws on the image that is open

Every argument crosses the bus as a variant; the program converts it as the
member needs (numbers rounded half to even, numeric text read as a number).
"""
import ast
import math
import subprocess
import sys

SERVICE = "org.pixtrel.Pixtrel10"
OBJECT = "/Board"
INTERFACE = "org.pixtrel.Pixtrel10.IBoard"


class BoardError(RuntimeError):
    """A member failed; the message is the program's."""


def as_gvariant(value):
    """A Python value in GVariant text, wrapped as a variant."""
    if isinstance(value, bool):
        return "<%s>" % ("true" if value else "false")
    if isinstance(value, int):
        return "<int32 %d>" % value
    if isinstance(value, float):
        return "<double %r>" % value
    text = str(value).replace("\\", "\\\\").replace('"', '\\"')
    return '<"%s">' % text


def gdbus(method, *arguments):
    command = ["gdbus", "call", "--session", "--dest", SERVICE, "--object-path", OBJECT,
               "--method", method, *arguments]
    run = subprocess.run(command, capture_output=True, text=True)
    if run.returncode != 0:
        message = run.stderr.strip()
        # "Error: GDBus.Error:org.pixtrel.Pixtrel10.Error.Failed: <message>"
        message = message.split(": ", 2)[-1] if "GDBus.Error" in message else message
        raise BoardError("%s: %s" % (method.rsplit(".", 1)[-1], message))
    return ast.literal_eval(run.stdout.strip() or "()")


def call(member, *arguments):
    """Calls one IBoard member; returns its result, or None."""
    result = gdbus(INTERFACE + "." + member, *(as_gvariant(a) for a in arguments))
    return result[0] if result else None


def set_heading(degrees):
    gdbus("org.freedesktop.DBus.Properties.Set", INTERFACE, "angle", as_gvariant(degrees))


def main():
    keep = "--keep" in sys.argv[1:]
    if not keep:
        call("NewImage", 320, 240)
    call("ShowImage")
    width, height = call("ImageWidth"), call("ImageHeight")

    # Sky and ground.
    call("PenClear")
    call("BrushSolid")
    call("BrushColor", "#A8D8F0")
    call("Rectangle", 0, 0, width + 1, height * 2 // 3 + 1)
    call("BrushColor", "#5DA84A")
    call("Rectangle", 0, height * 2 // 3, width + 1, height + 1)

    # The sun, and a house with a roof filled by colour.
    call("PenSolid")
    call("PenColor", "#E0A000")
    call("BrushColor", "#FFD700")
    call("Ellipse", width - 80, 16, width - 24, 72)
    call("PenColor", "#000000")
    call("PenWidth", 2)
    call("BrushColor", "#F4E1C1")
    call("Rectangle", 40, 100, 140, 170)
    call("Line", 32, 100, 90, 56)
    call("LineTo", 148, 100)
    call("LineTo", 32, 100)
    call("BrushColor", "#B03020")
    call("FloodFillBorder", 90, 85, "#000000")
    call("BrushColor", "#6FA8DC")
    call("RoundRect", 60, 115, 90, 140, 8, 8)
    call("Rectangle", 105, 130, 125, 170)

    # A five-pointed star drawn by the turtle.
    call("PenColor", "#C00000")
    call("PenWidth", 3)
    call("PenUp")
    call("MoveTo", 190, 150)
    set_heading(0)
    call("PenDown")
    for _ in range(5):
        call("Move", 80)
        call("Turn", 144)
    call("PenUp")

    # Rays of the sun from its centre, at angles, then the captions.
    call("PenColor", "#E0A000")
    call("PenWidth", 1)
    for step in range(12):
        angle = step * 30.0
        call("MoveTo", width - 52 + round(34 * math.cos(math.radians(angle))),
             44 + round(34 * math.sin(math.radians(angle))))
        call("LineAngled", angle, 10)
    call("FontName", "DejaVu Sans")
    call("FontSize", 14)
    call("FontBold")
    call("FontColor", "#FFFFFF")
    call("BrushClear")
    caption = "Drawn over D-Bus"
    call("Text", (width - call("TextWidth", caption)) // 2, height - 30, caption)
    call("FontNormal")
    call("FontSize", 10)
    call("FontColor", "#303030")
    call("TextRotated", 16, 90, "IBoard", 30)
    print("drew on a %d x %d image; the pixel at (90, 85) is %s"
          % (width, height, call("getPixelColor", 90, 85)))


if __name__ == "__main__":
    try:
        main()
    except BoardError as error:
        sys.exit("draw_figure: %s" % error)
    except FileNotFoundError:
        sys.exit("draw_figure: the gdbus command is missing (Debian package libglib2.0-bin)")
