#pragma once
// The windows' looks: button images read from the pics folder once per name, lighter and darker
// colours for painted controls, and menus made, copied and emptied at run time.

#include "platform/gui/Colors.h"
#include "platform/rtl/Classes.h"

#include <string>

class TBitmap;
class TMenuItem;

// The bitmap pics\<nome>.bmp of the program folder, read once and kept for the whole run (names
// compared without regard to case); nullptr when the file is missing or is no readable bitmap,
// and then nothing is kept, so a file added later is found.
TBitmap* CaricaBitmap(const std::string& nome);
// Gives the button the bitmap and the number of glyph images when it is one of the button
// classes that take a glyph; no bitmap clears the glyph. Returns the bitmap.
TBitmap* ImpostaGlifo(TComponent* pulsante, const std::string& nome, int numeroGlifi);
// Each of red, green and blue raised (lowered) by 120 within 0..255; the highest byte is 0.
TColor SchiarisciColore(TColor colore);
TColor ScurisciColore(TColor colore);
// Frees every item of the submenu, last first.
void SvuotaMenu(TMenuItem* voce);
// A new item owned by proprietario at the end of the parent's submenu. A name that is no
// identifier leaves the item unnamed; a name already used in the owner raises.
TMenuItem* CreaVoceMenu(TComponent* proprietario, TMenuItem* genitore, const std::string& nome,
                        const std::string& didascalia, TNotifyEvent clic, int tag);
// Copies the source's submenu tree under the destination: captions, handlers and tags, each
// copy named after the destination followed by the source item's name or its position.
void CopiaMenu(TComponent* proprietario, TMenuItem* destinazione, TMenuItem* sorgente);
// The same; the flag some callers pass changes nothing.
void CopiaMenu(TComponent* proprietario, TMenuItem* destinazione, TMenuItem* sorgente, bool);
