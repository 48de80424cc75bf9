#include "base/syserror.h"

#include <cerrno>

namespace veltris {

std::string systemReason(int err, SystemObject object)
{
    const bool folder = object == SystemObject::Folder;
    switch (err) {
    case ENOENT: return folder ? "папка не найдена" : "файл не найден";
    case EACCES:
    case EPERM: return "нет доступа";
    case EISDIR: return "это папка, а не файл";
    case ENOTDIR: return folder ? "это не папка" : "путь к файлу указан неверно";
    case ENAMETOOLONG: return "слишком длинное имя";
    case ELOOP: return "слишком много уровней символических ссылок";
    case EMFILE:
    case ENFILE: return "открыто слишком много файлов";
    case ENOMEM: return "не хватает памяти";
    case EIO: return "ошибка ввода-вывода";
    case ENOSPC: return "нет места на диске";
    case EDQUOT: return "превышена дисковая квота";
    case EROFS: return "файловая система только для чтения";
    case EFBIG: return "файл слишком велик";
    case ETXTBSY:
    case EBUSY: return "файл занят";
    case EEXIST: return "файл уже существует";
    case EXDEV: return "файлы на разных файловых системах";
    case EPIPE: return "канал закрыт читающей стороной";
    case ENXIO:
    case ENODEV: return "устройство недоступно";
    case EAGAIN: return "ресурс временно недоступен";
    case EINVAL: return "недопустимая операция для этого файла";
    case EBADF: return "поток закрыт";
    case ESTALE: return "файл на сетевом диске больше недоступен";
    default: return "системная ошибка " + std::to_string(err);
    }
}

}  // namespace veltris
