// The window's images ship inside orvane_ui, a static library, whose resource initialiser the
// linker drops unless someone calls it. Every unit that shows an image calls this first.
#pragma once

void InitAppResources();
