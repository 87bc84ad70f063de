// Compiled with the execution character set CP1251: the host reads these bytes in that code page.
extern const char kPluginDisplayName[] = "Уменьшение цветового шума";
extern const char kPluginDescription[] = "Удаление импульсного цветового шума в UV-каналах изображения";
