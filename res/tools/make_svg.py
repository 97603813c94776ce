#!/usr/bin/env python3
"""Writes the program's SVG images: the application and document icons (a Koch curve and
a dragon curve on a tile) and the nine toolbar images (16 x 15 pixels each).
The PNG files beside them are rendered from these with res/tools/render_png.cpp."""
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))
RES = os.path.dirname(HERE)


def koch(p0, p1, depth):
    if depth == 0:
        return [p0]
    (x0, y0), (x1, y1) = p0, p1
    dx, dy = (x1 - x0) / 3, (y1 - y0) / 3
    a = (x0 + dx, y0 + dy)
    b = (x0 + 2 * dx, y0 + 2 * dy)
    # Peak: the middle third turned by 60 degrees (pointing up on screen).
    c = (a[0] + dx * 0.5 + dy * math.sqrt(3) / 2, a[1] + dy * 0.5 - dx * math.sqrt(3) / 2)
    pts = []
    for s, e in ((p0, a), (a, c), (c, b), (b, p1)):
        pts += koch(s, e, depth - 1)
    return pts


def snowflake(cx, cy, r, depth):
    corners = [(cx + r * math.cos(math.radians(a)), cy + r * math.sin(math.radians(a))) for a in (-90, 30, 150)]
    pts = []
    # Clockwise on screen, so the peaks point outwards.
    order = [corners[0], corners[1], corners[2], corners[0]]
    for s, e in zip(order, order[1:]):
        pts += koch(s, e, depth)
    return pts


def path_of(pts, close=True):
    d = "M" + " L".join("%.2f,%.2f" % p for p in pts)
    return d + (" Z" if close else "")


def write(name, text):
    with open(os.path.join(RES, name), "w", encoding="utf-8") as f:
        f.write(text)


def app_icon():
    flake = path_of(snowflake(128, 136, 92, 3))
    return f"""<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">
  <defs>
    <linearGradient id="tile" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#3a7bd5"/>
      <stop offset="1" stop-color="#1c3f7a"/>
    </linearGradient>
  </defs>
  <rect x="8" y="8" width="240" height="240" rx="40" fill="url(#tile)"/>
  <path d="{flake}" fill="#cfe0f8" fill-opacity="0.35" stroke="#ffffff" stroke-width="7" stroke-linejoin="round"/>
</svg>
"""


def doc_icon():
    curve = path_of(koch((62, 170), (194, 170), 3), close=False) + " L194,170"
    return f"""<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">
  <path d="M40,12 H168 L216,60 V244 H40 Z" fill="#ffffff" stroke="#5a6270" stroke-width="8" stroke-linejoin="round"/>
  <path d="M168,12 V60 H216" fill="#dde3ec" stroke="#5a6270" stroke-width="8" stroke-linejoin="round"/>
  <path d="{curve}" fill="none" stroke="#1c3f7a" stroke-width="9" stroke-linejoin="round" stroke-linecap="round"/>
</svg>
"""


def tool(body):
    return f"""<svg xmlns="http://www.w3.org/2000/svg" width="16" height="15" viewBox="0 0 16 15" shape-rendering="crispEdges">
{body}
</svg>
"""


TOOLBAR = {
    # A blank page with a folded corner.
    "new": """  <path d="M3.5,1.5 H10.5 L13.5,4.5 V13.5 H3.5 Z" fill="#ffffff" stroke="#000000"/>
  <path d="M10.5,1.5 V4.5 H13.5" fill="none" stroke="#000000"/>""",
    # An open folder.
    "open": """  <path d="M1.5,3.5 H5.5 L6.5,4.5 H12.5 V12.5 H1.5 Z" fill="#f0d060" stroke="#000000"/>
  <path d="M1.5,12.5 L4.5,7.5 H15.5 L12.5,12.5 Z" fill="#f8e8a0" stroke="#000000"/>""",
    # A floppy disk.
    "save": """  <rect x="1.5" y="1.5" width="13" height="12" fill="#3060a0" stroke="#000000"/>
  <rect x="4" y="2" width="8" height="5" fill="#ffffff"/>
  <rect x="5" y="10" width="6" height="3" fill="#c0c0c0"/>""",
    # A picture with an arrow leaving it.
    "export": """  <rect x="1.5" y="4.5" width="9" height="9" fill="#ffffff" stroke="#000000"/>
  <path d="M3,12 L5,8 L7,10 L9,7" fill="none" stroke="#1c3f7a"/>
  <path d="M8,2.5 H14.5 M12,0.5 L14.5,2.5 L12,4.5 M14.5,2.5 V7" fill="none" stroke="#008000" shape-rendering="auto"/>""",
    # A frame with arrows to its corners.
    "full_screen": """  <rect x="0.5" y="0.5" width="15" height="14" fill="#ffffff" stroke="#000000"/>
  <path d="M2.5,5.5 V2.5 H5.5 M10.5,2.5 H13.5 V5.5 M13.5,9.5 V12.5 H10.5 M5.5,12.5 H2.5 V9.5" fill="none" stroke="#000000"/>
  <path d="M3,3 L6,6 M13,3 L10,6 M13,12 L10,9 M3,12 L6,9" fill="none" stroke="#000000" shape-rendering="auto"/>""",
    # The pattern: a polyline with point squares.
    "show_pattern": """  <path d="M2.5,11.5 L8.5,3.5 L13.5,11.5" fill="none" stroke="#408040"/>
  <rect x="0.5" y="9.5" width="4" height="4" fill="#ffffff" stroke="#000000"/>
  <rect x="6.5" y="1.5" width="4" height="4" fill="#ffffff" stroke="#000000"/>
  <rect x="11.5" y="9.5" width="4" height="4" fill="#ffffff" stroke="#000000"/>""",
    # A fractal curve.
    "show_fractal": """  <path d="M0.5,11.5 L3.5,11.5 L5,8.5 L6.5,11.5 L9.5,11.5 L11,8.5 L12.5,11.5 L15.5,11.5 M5,8.5 L6.5,5.5 L8,2.5 L9.5,5.5 L11,8.5" fill="none" stroke="#000000" shape-rendering="auto"/>""",
    # A filled fractal region.
    "fill_mode": """  <path d="M0,14 V10 L3,10 L5,6 L7,10 L8,4 L9,10 L11,6 L13,10 L16,10 V14 Z" fill="#808080" stroke="#000000" stroke-width="1" shape-rendering="auto"/>""",
    # A question mark.
    "about": """  <circle cx="8" cy="7.5" r="6.5" fill="#ffffe0" stroke="#000080" shape-rendering="auto"/>
  <path d="M5.8,5.6 C5.8,2.8 10.2,2.8 10.2,5.6 C10.2,7.4 8,7.2 8,9.2" fill="none" stroke="#000080" stroke-width="1.6" shape-rendering="auto"/>
  <rect x="7" y="10" width="2" height="2" fill="#000080"/>""",
}


def main():
    write("icons/zarnix4.svg", app_icon())
    write("icons/document.svg", doc_icon())
    for name, body in TOOLBAR.items():
        write(f"toolbar/{name}.svg", tool(body))


if __name__ == "__main__":
    main()
