#!/bin/sh
# Writes the GIF pictures the viewer's picture tests read, with ImageMagick. Run from this folder;
# the outputs are committed, so the tests need only ImageMagick as a peer to check against.
set -e
convert -seed 7 -size 300x200 plasma:fractal -colors 256 big.gif
convert big.gif -interlace GIF il.gif
# Three frames: the first covers the whole screen, the others are smaller and placed elsewhere.
convert -delay 50 -loop 2 -dispose none \
  -page 40x30+0+0 -size 40x30 gradient:red-blue \
  -page 40x30+5+4 -size 20x10 gradient:yellow-green \
  -page 40x30+22+13 -size 12x15 gradient:white-black \
  anim.gif
python3 gif_noclear.py noclear.gif
python3 png_fixtures.py
