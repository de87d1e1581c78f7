pico-8 cartridge
version 8
__GFX__
7z
__gfx__
z7ff