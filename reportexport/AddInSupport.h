#pragma once
// What the barcode, shape and check-box objects share: the pictures of their designer tool
// buttons, drawn at start-up and registered as bitmap resources, and their entries in the
// engine's registry of add-in objects.

#include "report/rpEngine.h"

#include <string>

class TBitmap;
class TStream;
class TrpObjEditorForm;
class TrpView;

namespace AddInSupport {

// 16 x 16 pictures on an olive background, which tool buttons take as transparent.
inline constexpr const char* CheckBoxPictureName = "RP_CHBOX";
inline constexpr const char* BarCodePictureName = "RP_BARCODE";
inline constexpr const char* ShapePictureName = "RP_SHAPE";

// Registers the three pictures under their names in the program's module; may be repeated.
void RegisterAddInPictures();

// rpRegisterObject, unless the class is registered already.
void RegisterAddInOnce(const TrpViewClass& classRef, TBitmap* buttonBmp, const std::string& buttonHint,
                       TrpObjEditorForm* editorForm);
// Takes the class out of the registry, so that no entry keeps a freed picture or dialog.
void UnRegisterAddIn(const std::string& className);

// The first steps of printing an object into a prepared page: its working text from the designed
// one, the report's hook before each object, and its script. False when the object is to be left
// out of the page (its script made it invisible).
bool BeginAddInPrint(TrpView& view);
// The object's record in a prepared page: its type code, its class name and its own form.
void WriteAddInRecord(TrpView& view, TStream& stream);

} // namespace AddInSupport
