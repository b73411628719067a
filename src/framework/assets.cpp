#include "framework/assets.h"

// Resources of a static library must be registered by hand, outside any namespace.
static void RegisterWingAssets() { Q_INIT_RESOURCE(wing_assets); }

namespace wing {

QIcon ApplicationIcon() {
    static const bool registered = [] {
        RegisterWingAssets();
        return true;
    }();
    (void)registered;
    static const QIcon icon = [] {
        QIcon i;
        for (int size : {16, 32, 48, 64, 128, 256})
            i.addFile(QStringLiteral(":/wing/icon-%1.png").arg(size), QSize(size, size));
        return i;
    }();
    return icon;
}

QPixmap ProductPicture() {
    ApplicationIcon();  // registers the resources
    return QPixmap(QStringLiteral(":/wing/product.png"));
}

}  // namespace wing
