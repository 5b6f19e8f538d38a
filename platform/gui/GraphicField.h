#pragma once
// Pictures kept in blob fields: read with or without the 8-byte graphic header older tables put
// before the picture, the class found from the content; written as the graphic's own stream.

class TPicture;
class TField;

// What TPicture::Assign(field) does for a blob or graphic field: an empty blob gives an empty
// picture; content that is no known picture raises EInvalidGraphic "Bitmap image is not valid"
// and leaves the picture as it was.
void AssignPictureFromField(TPicture& picture, const TField& field);
// Writes the picture's graphic (a BMP for a bitmap) into the field, without a header; an empty
// picture clears the field.
void AssignFieldFromPicture(TField& field, const TPicture& picture);
