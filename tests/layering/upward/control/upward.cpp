// An upward include: the layering check must refuse this tree.
#include "ui/mainwindow.h"
