pico-8 cartridge // http://www.pico-8.com
version 42
__label__
0g
