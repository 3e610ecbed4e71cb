#ifndef TAVO_UI_IMAGES_H
#define TAVO_UI_IMAGES_H

#include <QString>

// The program's images live in the folder "image" beside the program (in the build folder) or,
// once installed, in the prefix's share/tavo-client/, so they are found wherever the program is
// started from.
class TAVO_ui_images
{
public:
    // The path of "image/" + fileName: beside the program or in the installed data folder when it
    // is there, otherwise relative to the working folder.
    static QString path(const QString &fileName);
};

#endif
