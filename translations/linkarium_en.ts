<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>Categories</name>
    <message>
        <source>Категории записи «%1» всё время меняет другой пользователь; повторите переименование.</source>
        <translation>Another user keeps changing the categories of the record &quot;%1&quot;; rename again.</translation>
    </message>
    <message>
        <source>новой записи</source>
        <translation>the new record</translation>
    </message>
    <message>
        <source>записи «%1»</source>
        <translation>the record &quot;%1&quot;</translation>
    </message>
    <message>
        <source>Категории %1 стали бы длиной %2 символов, а поле вмещает не более %3. Ничего не обрезано: сократите их.</source>
        <translation>The categories of %1 would be %2 characters long, and the field holds at most %3. Nothing was cut: shorten them.</translation>
    </message>
</context>
<context>
    <name>Duplicates</name>
    <message>
        <source>категории</source>
        <translation>categories</translation>
    </message>
    <message>
        <source>описания</source>
        <translation>descriptions</translation>
    </message>
    <message>
        <source>Записи «%1» не объединены: их %2 вместе длиннее %3 символов.</source>
        <translation>The records of &quot;%1&quot; were not merged: their %2 together are longer than %3 characters.</translation>
    </message>
    <message>
        <source>Записи «%1» не объединены: запись «%2» изменил или удалил другой пользователь после поиска. Найдите дубликаты заново.</source>
        <translation>The records of “%1” were not merged: someone else changed or deleted the record “%2” after the search. Find the duplicates again.</translation>
    </message>
</context>
<context>
    <name>FileNames</name>
    <message>
        <source>Путь %1 нельзя использовать: в имени папки или файла есть байты не в кодировке UTF-8, и прочитать имя верно не удалось (на их месте «�»). Программа не создаёт и не открывает вместо него другую папку. Переименуйте папку или выберите другой путь.</source>
        <translation>The path %1 cannot be used: a folder or file name in it has bytes that are not UTF-8, and the name could not be read as it is (they show as &quot;�&quot;). The program does not create or open another folder in its place. Rename the folder or choose another path.</translation>
    </message>
</context>
<context>
    <name>ImportPreview</name>
    <message>
        <source>новая</source>
        <translation>new</translation>
    </message>
    <message>
        <source>дубликат</source>
        <translation>duplicate</translation>
    </message>
    <message>
        <source>повтор в импорте</source>
        <translation>repeated in the import</translation>
    </message>
    <message>
        <source>ошибка</source>
        <translation>invalid</translation>
    </message>
    <message>
        <source>пропущена</source>
        <translation>skipped</translation>
    </message>
    <message>
        <source>Импорт %1</source>
        <translation>Import %1</translation>
    </message>
    <message>
        <source>запрос браузера (place:)</source>
        <translation>browser query (place:)</translation>
    </message>
    <message>
        <source>букмарклет (javascript:)</source>
        <translation>bookmarklet (javascript:)</translation>
    </message>
    <message>
        <source>нет адреса</source>
        <translation>no address</translation>
    </message>
    <message>
        <source>адрес длиннее %1</source>
        <translation>address longer than %1</translation>
    </message>
    <message>
        <source>не похоже на адрес</source>
        <translation>does not look like an address</translation>
    </message>
    <message>
        <source>уже есть в каталоге</source>
        <translation>already in the catalogue</translation>
    </message>
    <message>
        <source>повторяет строку %1</source>
        <translation>repeats row %1</translation>
    </message>
    <message>
        <source>Итог</source>
        <translation>Verdict</translation>
    </message>
    <message>
        <source>Причина</source>
        <translation>Reason</translation>
    </message>
    <message>
        <source>Источник</source>
        <translation>Source</translation>
    </message>
    <message>
        <source>не веб-адрес</source>
        <translation>not a web address</translation>
    </message>
    <message>
        <source>повреждена</source>
        <translation>damaged</translation>
    </message>
    <message>
        <source>не отмечена</source>
        <translation>not ticked</translation>
    </message>
    <message>
        <source>категории длиннее %1 символов</source>
        <translation>categories longer than %1 characters</translation>
    </message>
    <message>
        <source>повторяет запись %1</source>
        <translation>repeats entry %1</translation>
    </message>
    <message>
        <source>запись удалена из каталога во время импорта</source>
        <translation>the record was deleted from the catalogue during the import</translation>
    </message>
    <message>
        <source>описание сокращено до %1 символов</source>
        <translation>description shortened to %1 characters</translation>
    </message>
</context>
<context>
    <name>LinkCheck</name>
    <message>
        <source>Новый адрес длиннее %1 знаков</source>
        <translation>The new address is longer than %1 characters</translation>
    </message>
</context>
<context>
    <name>LinkExport</name>
    <message>
        <source>Не удалось записать %1: %2</source>
        <translation>Could not write %1: %2</translation>
    </message>
    <message>
        <source>папка не создана</source>
        <translation>the folder could not be created</translation>
    </message>
    <message>
        <source>это не обычный файл</source>
        <translation>it is not a regular file</translation>
    </message>
</context>
<context>
    <name>LinkImport</name>
    <message>
        <source>Не удалось прочитать файл %1</source>
        <translation>Cannot read the file %1</translation>
    </message>
    <message>
        <source>%1: нет адреса</source>
        <translation>%1: no address</translation>
    </message>
    <message>
        <source>%1: адрес длиннее %2</source>
        <translation>%1: address longer than %2</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>%1: ссылка ведёт за пределы папки</source>
        <translation>%1: the link leads out of the folder</translation>
    </message>
    <message>
        <source>разделитель</source>
        <translation>separator</translation>
    </message>
    <message>
        <source>ссылка в заметке закладки</source>
        <translation>link inside a bookmark&apos;s note</translation>
    </message>
    <message>
        <source>строка %1</source>
        <translation>line %1</translation>
    </message>
    <message>
        <source>%1: категории длиннее %2 символов</source>
        <translation>%1: categories longer than %2 characters</translation>
    </message>
    <message>
        <source>неверные байты UTF-8</source>
        <translation>invalid UTF-8 bytes</translation>
    </message>
    <message>
        <source>неверные байты UTF-16</source>
        <translation>invalid UTF-16 bytes</translation>
    </message>
    <message>
        <source>байты, которых нет в кодировке %1</source>
        <translation>bytes the encoding %1 does not have</translation>
    </message>
    <message>
        <source>%1 в имени папки</source>
        <translation>%1 in a folder&apos;s name</translation>
    </message>
    <message>
        <source>Bookmarks</source>
        <translation>Bookmarks</translation>
    </message>
    <message>
        <source>Файл закладок %1 повреждён: %2 (байт %3).</source>
        <translation>The bookmark file %1 is damaged: %2 (byte %3).</translation>
    </message>
    <message>
        <source>нет корневых папок (roots)</source>
        <translation>no root folders (roots)</translation>
    </message>
    <message>
        <source>папки вложены слишком глубоко (%1)</source>
        <translation>folders nested too deep (%1)</translation>
    </message>
    <message>
        <source>папки вложены слишком глубоко</source>
        <translation>folders nested too deep</translation>
    </message>
    <message>
        <source>в папке не закладка и не папка</source>
        <translation>neither a bookmark nor a folder inside a folder</translation>
    </message>
    <message>
        <source>содержимое папки записано не списком</source>
        <translation>the folder&apos;s contents are not a list</translation>
    </message>
    <message>
        <source>неизвестная запись (type «%1»)</source>
        <translation>an unknown entry (type &quot;%1&quot;)</translation>
    </message>
    <message>
        <source>кавычка не закрыта: в поле попал весь остаток файла</source>
        <translation>a quote is never closed: the rest of the file went into this field</translation>
    </message>
</context>
<context>
    <name>ReportWriter</name>
    <message>
        <source>utf-8</source>
        <translation>utf-8</translation>
    </message>
    <message>
        <source>Строка слишком длинная</source>
        <translation>Line too long</translation>
    </message>
    <message>
        <source> в строке </source>
        <translation> at line </translation>
    </message>
</context>
<context>
    <name>Schema</name>
    <message>
        <source>Файл %1 уже существует.</source>
        <translation>The file %1 already exists.</translation>
    </message>
    <message>
        <source>Не удалось создать базу данных %1.
%2</source>
        <translation>Could not create the database %1.
%2</translation>
    </message>
    <message>
        <source>В базе данных нет таблицы SubjectURLs.</source>
        <translation>The database has no SubjectURLs table.</translation>
    </message>
    <message>
        <source>В базе данных нет запроса vCategoryList.</source>
        <translation>The database has no vCategoryList query.</translation>
    </message>
    <message>
        <source>Таблицы на сервере создаются только в базе данных PostgreSQL.</source>
        <translation>Server tables are created only in a PostgreSQL database.</translation>
    </message>
    <message>
        <source>В базе данных уже есть таблицы каталога: она не пустая.</source>
        <translation>The database already holds catalogue tables: it is not empty.</translation>
    </message>
    <message>
        <source>Не удалось создать файл %1.
%2</source>
        <translation>Could not create the file %1.
%2</translation>
    </message>
    <message>
        <source>База данных %1 на сервере %2</source>
        <translation>The database %1 on the server %2</translation>
    </message>
    <message>
        <source>Файл базы данных: %1</source>
        <translation>Database file: %1</translation>
    </message>
    <message>
        <source>В базу данных не удалось добавить таблицу проверок ссылок LinkChecks.
%1
%2</source>
        <translation>The link check table LinkChecks could not be added to the database.
%1
%2</translation>
    </message>
    <message>
        <source>соединение зашифровано, сервер проверен</source>
        <translation>encrypted connection, server verified</translation>
    </message>
    <message>
        <source>соединение зашифровано, сертификат сервера проверен без его имени</source>
        <translation>encrypted connection, server certificate verified without its name</translation>
    </message>
    <message>
        <source>соединение зашифровано, сервер не проверен</source>
        <translation>encrypted connection, server not verified</translation>
    </message>
    <message>
        <source>соединение не зашифровано</source>
        <translation>unencrypted connection</translation>
    </message>
    <message>
        <source>База данных %1 на сервере %2 (%3)</source>
        <translation>Database %1 on server %2 (%3)</translation>
    </message>
</context>
<context>
    <name>TAboutForm</name>
    <message>
        <source>О программе</source>
        <translation>About</translation>
    </message>
    <message>
        <source>Linkarium</source>
        <translation>Linkarium</translation>
    </message>
    <message>
        <source>Версия:</source>
        <translation>Version:</translation>
    </message>
    <message>
        <source>© 2026 Quorvel. Все права защищены.</source>
        <translation>© 2026 Quorvel. All rights reserved.</translation>
    </message>
    <message>
        <source>www.quorvel.example</source>
        <translation>www.quorvel.example</translation>
    </message>
    <message>
        <source>Техническая поддержка:</source>
        <translation>Technical support:</translation>
    </message>
    <message>
        <source>E-Mail:</source>
        <translation>E-mail:</translation>
    </message>
    <message>
        <source>support@quorvel.example</source>
        <translation>support@quorvel.example</translation>
    </message>
    <message>
        <source>Отдел маркетинга:</source>
        <translation>Marketing:</translation>
    </message>
    <message>
        <source>sales@quorvel.example</source>
        <translation>sales@quorvel.example</translation>
    </message>
    <message>
        <source>Телефон:</source>
        <translation>Phone:</translation>
    </message>
    <message>
        <source>+7 000 000-00-00</source>
        <translation>+7 000 000-00-00</translation>
    </message>
    <message>
        <source>Факс:</source>
        <translation>Fax:</translation>
    </message>
    <message>
        <source>+7 000 000-00-01</source>
        <translation>+7 000 000-00-01</translation>
    </message>
    <message>
        <source>ОК</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>TCaptureQueue</name>
    <message>
        <source>Переданная ссылка не принята: %1</source>
        <translation>The link handed over was not accepted: %1</translation>
    </message>
    <message>
        <source>Ссылок пришло больше, чем программа держит в очереди (%1): не открыто ссылок: %2.</source>
        <translation>More links arrived than the program keeps waiting (%1): links not opened: %2.</translation>
    </message>
</context>
<context>
    <name>TCaptureRequest</name>
    <message>
        <source>Не указан адрес.</source>
        <translation>No address given.</translation>
    </message>
    <message>
        <source>Адрес содержит управляющий символ.</source>
        <translation>The address contains a control character.</translation>
    </message>
    <message>
        <source>Адрес «%1» не принят: %2.</source>
        <translation>The address “%1” was not accepted: %2.</translation>
    </message>
    <message>
        <source>Заголовок, описание или категория содержат управляющий символ.</source>
        <translation>The title, description or category contains a control character.</translation>
    </message>
    <message>
        <source>Запрос длиннее %1 знаков.</source>
        <translation>The request is longer than %1 characters.</translation>
    </message>
    <message>
        <source>Это не адрес «linkarium:».</source>
        <translation>This is not a “linkarium:” address.</translation>
    </message>
    <message>
        <source>Неизвестная команда «%1».</source>
        <translation>Unknown command “%1”.</translation>
    </message>
    <message>
        <source>Значение «%1» не в кодировке UTF-8.</source>
        <translation>The value of “%1” is not UTF-8.</translation>
    </message>
    <message>
        <source>Параметр «%1» указан дважды.</source>
        <translation>The parameter “%1” is given twice.</translation>
    </message>
    <message>
        <source>Неизвестный параметр «%1». Список параметров: linkarium --help</source>
        <translation>Unknown option “%1”. For the list of options: linkarium --help</translation>
    </message>
    <message>
        <source>После «%1» нет значения.</source>
        <translation>No value after “%1”.</translation>
    </message>
    <message>
        <source>«--title», «--description» и «--category» задаются вместе с «--add».</source>
        <translation>“--title”, “--description” and “--category” are given together with “--add”.</translation>
    </message>
    <message>
        <source>Использование:
  linkarium                 открыть каталог
  linkarium --add АДРЕС [--title ЗАГОЛОВОК] [--description ОПИСАНИЕ]
            [--category КАТЕГОРИИ]
                            открыть окно новой записи с этими данными
                            (в уже запущенной копии, если она есть);
                            запись сохраняется только по кнопке OK
  linkarium linkarium:add?url=...&amp;title=...
                            то же для ссылки «linkarium:» из браузера
  linkarium --help          эта справка
</source>
        <translation>Usage:
  linkarium                 open the catalogue
  linkarium --add ADDRESS [--title TITLE] [--description DESCRIPTION]
            [--category CATEGORIES]
                            open a new record&apos;s window with these values
                            (in the copy already running, if there is one);
                            the record is saved only with the OK button
  linkarium linkarium:add?url=...&amp;title=...
                            the same for a &quot;linkarium:&quot; link from a browser
  linkarium --help          this help
</translation>
    </message>
</context>
<context>
    <name>TCatalogueModule</name>
    <message>
        <source>Только чтение: у вашей роли на сервере нет права изменять записи каталога.</source>
        <translation>Read only: your role on the server may not change the catalogue&apos;s records.</translation>
    </message>
    <message>
        <source>Только чтение: у вашей роли на сервере нет права изменять список категорий.</source>
        <translation>Read only: your role on the server may not change the category list.</translation>
    </message>
    <message>
        <source>База данных %1 на сервере %2 создана с типом символов (LC_CTYPE) «%3»: сервер различает строчные и прописные буквы только латиницы, поэтому поиск по категориям, фильтры и проверка одинаковых имён категорий могут пропускать имена кириллицей. Создайте базу данных с типом символов UTF-8, например createdb -E UTF8 -l C.UTF-8 -T template0 (см. README), и перенесите в неё каталог.</source>
        <translation>The database %1 on server %2 was created with the character type (LC_CTYPE) «%3»: the server tells capital from small letters of the Latin alphabet only, so category searches, filters and the check for equal category names may miss Cyrillic names. Create a database with a UTF-8 character type, e.g. createdb -E UTF8 -l C.UTF-8 -T template0 (see README), and move the catalogue into it.</translation>
    </message>
</context>
<context>
    <name>TCategoryForm</name>
    <message>
        <source>Категории</source>
        <translation>Categories</translation>
    </message>
    <message>
        <source>Определены категории:</source>
        <translation>Assigned categories:</translation>
    </message>
    <message>
        <source>&amp;Добавить</source>
        <translation>&amp;Add</translation>
    </message>
    <message>
        <source>Доступны категории:</source>
        <translation>Available categories:</translation>
    </message>
    <message>
        <source>Список категорий...</source>
        <translation>Category List...</translation>
    </message>
    <message>
        <source>&amp;ОК</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>TCommand</name>
    <message>
        <source>Команда не связана с соединением</source>
        <translation>The command has no connection</translation>
    </message>
</context>
<context>
    <name>TCommonForm</name>
    <message>
        <source>Запись была удалена.</source>
        <translation>The record has been deleted.</translation>
    </message>
    <message>
        <source>Сохранить изменения?</source>
        <translation>Save the changes?</translation>
    </message>
    <message>
        <source>Поле &quot;%1&quot; вмещает не более %2 символов. Текст длиннее не принят; сократите его.</source>
        <translation>The field &quot;%1&quot; holds at most %2 characters. The longer text was not accepted; shorten it.</translation>
    </message>
    <message>
        <source>Не более %1 символов</source>
        <translation>At most %1 characters</translation>
    </message>
</context>
<context>
    <name>TCommonViewForm</name>
    <message>
        <source>Поиск текста в выбранном столбце</source>
        <translation>Search for text in the selected column</translation>
    </message>
    <message>
        <source>Первая запись</source>
        <translation>First record</translation>
    </message>
    <message>
        <source>Предыдущая запись</source>
        <translation>Previous record</translation>
    </message>
    <message>
        <source>Следующая запись</source>
        <translation>Next record</translation>
    </message>
    <message>
        <source>Последняя запись</source>
        <translation>Last record</translation>
    </message>
    <message>
        <source>Добавить запись...</source>
        <translation>Add Record...</translation>
    </message>
    <message>
        <source>Добавить запись</source>
        <translation>Add record</translation>
    </message>
    <message>
        <source>Редактировать запись</source>
        <translation>Edit record</translation>
    </message>
    <message>
        <source>Удалить запись</source>
        <translation>Delete record</translation>
    </message>
    <message>
        <source>Обновить</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>Обновить данные</source>
        <translation>Refresh the data</translation>
    </message>
    <message>
        <source>Дублировать запись</source>
        <translation>Duplicate Record</translation>
    </message>
    <message>
        <source>Сортировать по возрастанию</source>
        <translation>Sort Ascending</translation>
    </message>
    <message>
        <source>Сортировать по убыванию</source>
        <translation>Sort Descending</translation>
    </message>
    <message>
        <source>Расширенная сортировка...</source>
        <translation>Advanced Sort...</translation>
    </message>
    <message>
        <source>Расширенная сортировка</source>
        <translation>Advanced sort</translation>
    </message>
    <message>
        <source>Скрыть колонку</source>
        <translation>Hide Column</translation>
    </message>
    <message>
        <source>Настройка колонок...</source>
        <translation>Set Up Columns...</translation>
    </message>
    <message>
        <source>Настройка колонок</source>
        <translation>Set up columns</translation>
    </message>
    <message>
        <source>Фильтровать выделенное</source>
        <translation>Filter by Selection</translation>
    </message>
    <message>
        <source>Исключить выделенное</source>
        <translation>Exclude Selection</translation>
    </message>
    <message>
        <source>Расширенный фильтр</source>
        <translation>Advanced Filter</translation>
    </message>
    <message>
        <source>Отменить фильтр</source>
        <translation>Remove Filter</translation>
    </message>
    <message>
        <source>Применить фильтр</source>
        <translation>Apply Filter</translation>
    </message>
    <message>
        <source>Сохранить текущий фильтр</source>
        <translation>Save Current Filter</translation>
    </message>
    <message>
        <source>Отчёт...</source>
        <translation>Report...</translation>
    </message>
    <message>
        <source>Файл</source>
        <translation>File</translation>
    </message>
    <message>
        <source>Записи</source>
        <translation>Records</translation>
    </message>
    <message>
        <source>Фильтр</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>Сортировка</source>
        <translation>Sort</translation>
    </message>
    <message>
        <source>&amp;Поиск: </source>
        <translation>&amp;Search: </translation>
    </message>
    <message>
        <source>запись,записи,записей</source>
        <translation>record,records,records</translation>
    </message>
    <message>
        <source>(отфильтровано)</source>
        <translation>(filtered)</translation>
    </message>
    <message>
        <source>Вы действительно хотите удалить данную запись?</source>
        <translation>Do you really want to delete this record?</translation>
    </message>
    <message>
        <source>Отчёт</source>
        <translation>Report</translation>
    </message>
    <message>
        <source>Изменить...</source>
        <translation>Edit...</translation>
    </message>
    <message>
        <source>Дублировать</source>
        <translation>Duplicate</translation>
    </message>
    <message>
        <source>Удалить</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>Сохранённые фильтры</source>
        <translation>Saved Filters</translation>
    </message>
    <message>
        <source>загрузка...</source>
        <translation>loading...</translation>
    </message>
    <message>
        <source>в любом месте</source>
        <translation>anywhere</translation>
    </message>
    <message>
        <source>Искать текст в любом месте значения</source>
        <translation>Find the text anywhere in the value</translation>
    </message>
    <message>
        <source>во всех столбцах</source>
        <translation>in all columns</translation>
    </message>
    <message>
        <source>Искать текст во всех видимых столбцах</source>
        <translation>Find the text in every visible column</translation>
    </message>
    <message>
        <source>Найти далее</source>
        <translation>Find Next</translation>
    </message>
    <message>
        <source>Найти назад</source>
        <translation>Find Previous</translation>
    </message>
    <message>
        <source>Поиск</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>не найдено</source>
        <translation>not found</translation>
    </message>
    <message>
        <source>(только чтение)</source>
        <translation>(read only)</translation>
    </message>
    <message>
        <source>Сохранённая сортировка «%1» не применена, записи показаны без неё.
%2</source>
        <translation>The saved sort &quot;%1&quot; was not applied; the records are shown without it.
%2</translation>
    </message>
    <message>
        <source>(нет связи с сервером)</source>
        <translation>(no link to the server)</translation>
    </message>
</context>
<context>
    <name>TConnection</name>
    <message>
        <source>Поставщик данных &quot;%1&quot; не поддерживается.</source>
        <translation>The data provider &quot;%1&quot; is not supported.</translation>
    </message>
    <message>
        <source>Не задана строка подключения к базе данных.</source>
        <translation>No database connection string is set.</translation>
    </message>
    <message>
        <source>Нет соединения с базой данных.</source>
        <translation>Not connected to a database.</translation>
    </message>
    <message>
        <source>Нет активной транзакции.</source>
        <translation>No transaction is active.</translation>
    </message>
    <message>
        <source>Параметр %1 не задан.</source>
        <translation>The parameter %1 has no value.</translation>
    </message>
    <message>
        <source>то, что осталось от неудавшейся записи, не удалось стереть</source>
        <translation>what the failed write left behind could not be erased</translation>
    </message>
    <message>
        <source>При сохранении диск или сервер сообщил об ошибке, но изменение сохранено: каталог открыт заново и проверен. Проверьте диск.
%1</source>
        <translation>The disk or the server reported an error while saving, but the change is saved: the catalogue was opened anew and checked. Check the disk.
%1</translation>
    </message>
    <message>
        <source>Изменение не сохранено: при сохранении диск или сервер сообщил об ошибке, каталог открыт заново, изменения в нём нет.
%1</source>
        <translation>The change was not saved: the disk or the server reported an error while saving; the catalogue was opened anew and does not hold the change.
%1</translation>
    </message>
    <message>
        <source>
Проверить не удалось: %1</source>
        <translation>
It could not be checked: %1</translation>
    </message>
    <message>
        <source>При сохранении диск или сервер сообщил об ошибке: неизвестно, сохранено ли изменение. Окно каталога покажет то, что в нём есть; проверьте, прежде чем сохранять снова.
%1%2</source>
        <translation>The disk or the server reported an error while saving: it is not known whether the change was saved. The catalogue window will show what it holds; check before saving again.
%1%2</translation>
    </message>
    <message>
        <source>Соединение с базой данных занято другой командой программы; повторите, когда она закончится.</source>
        <translation>The database connection is busy with another command of the program; repeat when it has finished.</translation>
    </message>
</context>
<context>
    <name>TDBGridFilterForm</name>
    <message>
        <source>содержит</source>
        <translation>contains</translation>
    </message>
    <message>
        <source>равно (точно)</source>
        <translation>equals (exactly)</translation>
    </message>
    <message>
        <source>не содержит</source>
        <translation>does not contain</translation>
    </message>
    <message>
        <source>не равно</source>
        <translation>not equal to</translation>
    </message>
    <message>
        <source>пусто</source>
        <translation>empty</translation>
    </message>
    <message>
        <source>не пусто</source>
        <translation>not empty</translation>
    </message>
    <message>
        <source>равно</source>
        <translation>equal to</translation>
    </message>
    <message>
        <source>не более</source>
        <translation>at most</translation>
    </message>
    <message>
        <source>не менее</source>
        <translation>at least</translation>
    </message>
    <message>
        <source>больше чем</source>
        <translation>greater than</translation>
    </message>
    <message>
        <source>меньше чем</source>
        <translation>less than</translation>
    </message>
    <message>
        <source>между</source>
        <translation>between</translation>
    </message>
    <message>
        <source>отсутствует</source>
        <translation>absent</translation>
    </message>
    <message>
        <source>присутствует</source>
        <translation>present</translation>
    </message>
    <message>
        <source>вчера</source>
        <translation>yesterday</translation>
    </message>
    <message>
        <source>сегодня</source>
        <translation>today</translation>
    </message>
    <message>
        <source>завтра</source>
        <translation>tomorrow</translation>
    </message>
    <message>
        <source>в последние 7 дней</source>
        <translation>in the last 7 days</translation>
    </message>
    <message>
        <source>в следующие 7 дней</source>
        <translation>in the next 7 days</translation>
    </message>
    <message>
        <source>на прошлой неделе</source>
        <translation>last week</translation>
    </message>
    <message>
        <source>на этой неделе</source>
        <translation>this week</translation>
    </message>
    <message>
        <source>на следующей неделе</source>
        <translation>next week</translation>
    </message>
    <message>
        <source>в предыдущем месяце</source>
        <translation>last month</translation>
    </message>
    <message>
        <source>в этом месяце</source>
        <translation>this month</translation>
    </message>
    <message>
        <source>в следующем месяце</source>
        <translation>next month</translation>
    </message>
    <message>
        <source>не ранее</source>
        <translation>not before</translation>
    </message>
    <message>
        <source>не позднее</source>
        <translation>not after</translation>
    </message>
    <message>
        <source>Расширенный фильтр</source>
        <translation>Advanced Filter</translation>
    </message>
    <message>
        <source>Фильтр</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>Выбрать записи, отвечающие следующим условиям:</source>
        <translation>Select the records that meet these conditions:</translation>
    </message>
    <message>
        <source>Уда&amp;лить</source>
        <translation>&amp;Remove</translation>
    </message>
    <message>
        <source>О&amp;чистить Всё</source>
        <translation>C&amp;lear All</translation>
    </message>
    <message>
        <source>&amp;Поле</source>
        <translation>&amp;Field</translation>
    </message>
    <message>
        <source>&amp;Условие</source>
        <translation>&amp;Condition</translation>
    </message>
    <message>
        <source>&amp;Значение</source>
        <translation>&amp;Value</translation>
    </message>
    <message>
        <source>&amp;Добавить</source>
        <translation>&amp;Add</translation>
    </message>
    <message>
        <source>Список фильтров</source>
        <translation>Saved Filters</translation>
    </message>
    <message>
        <source>Сохранённые фильтры:</source>
        <translation>Saved filters:</translation>
    </message>
    <message>
        <source>&amp;Сохранить...</source>
        <translation>&amp;Save...</translation>
    </message>
    <message>
        <source>&amp;Загрузить</source>
        <translation>&amp;Load</translation>
    </message>
    <message>
        <source>&amp;Переименовать</source>
        <translation>Re&amp;name</translation>
    </message>
    <message>
        <source>&amp;Удалить</source>
        <translation>&amp;Delete</translation>
    </message>
    <message>
        <source>&amp;Применить</source>
        <translation>&amp;Apply</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>или</source>
        <translation>or</translation>
    </message>
    <message>
        <source>и</source>
        <translation>and</translation>
    </message>
    <message>
        <source>Нет</source>
        <translation>No</translation>
    </message>
    <message>
        <source>Да</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>Добавить введённый ниже критерий в фильтр?</source>
        <translation>Add the criterion entered below to the filter?</translation>
    </message>
    <message>
        <source>Название фильтра</source>
        <translation>Filter Name</translation>
    </message>
    <message>
        <source>Введите название фильтра:</source>
        <translation>Enter the filter&apos;s name:</translation>
    </message>
    <message>
        <source>Фильтр с таким именем уже существует.</source>
        <translation>A filter with this name already exists.</translation>
    </message>
    <message>
        <source>(группа условий)</source>
        <translation>(group of conditions)</translation>
    </message>
    <message>
        <source>Название фильтра не может содержать знак &quot;=&quot;.</source>
        <translation>A filter name cannot contain the sign &quot;=&quot;.</translation>
    </message>
</context>
<context>
    <name>TDBGridSortForm</name>
    <message>
        <source>Сортировка</source>
        <translation>Sort</translation>
    </message>
    <message>
        <source>&amp;Доступные столбцы</source>
        <translation>&amp;Available columns</translation>
    </message>
    <message>
        <source>&gt;&gt;</source>
        <translation>&gt;&gt;</translation>
    </message>
    <message>
        <source>Добавить все </source>
        <translation>Add all </translation>
    </message>
    <message>
        <source>&lt;&lt;</source>
        <translation>&lt;&lt;</translation>
    </message>
    <message>
        <source>Удалить все</source>
        <translation>Remove all</translation>
    </message>
    <message>
        <source>&amp;Сортировать по</source>
        <translation>&amp;Sort by</translation>
    </message>
    <message>
        <source>&amp;ОК</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Добавить</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>Удалить</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>По возрастанию / по &amp;убыванию</source>
        <translation>Ascending / &amp;Descending</translation>
    </message>
    <message>
        <source>Изменить направление сортировки выбранного столбца (Пробел)</source>
        <translation>Reverse the sort direction of the selected column (Space)</translation>
    </message>
</context>
<context>
    <name>TDataLinkDialog</name>
    <message>
        <source>Свойства канала передачи данных</source>
        <translation>Data Link Properties</translation>
    </message>
    <message>
        <source>&amp;Поставщик данных:</source>
        <translation>&amp;Data provider:</translation>
    </message>
    <message>
        <source>Файл базы данных</source>
        <translation>Database file</translation>
    </message>
    <message>
        <source>&amp;Обзор...</source>
        <translation>&amp;Browse...</translation>
    </message>
    <message>
        <source>&amp;Создать...</source>
        <translation>&amp;Create...</translation>
    </message>
    <message>
        <source>Проверить подключение</source>
        <translation>Test Connection</translation>
    </message>
    <message>
        <source>&amp;ОК</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>SQLite: файл на этом компьютере</source>
        <translation>SQLite: a file on this computer</translation>
    </message>
    <message>
        <source>Выбор базы данных</source>
        <translation>Choose a database</translation>
    </message>
    <message>
        <source>Базы данных Linkarium (*.db *.sqlite);;Любой файл (*)</source>
        <translation>Linkarium databases (*.db *.sqlite);;Any file (*)</translation>
    </message>
    <message>
        <source>Новая база данных</source>
        <translation>New database</translation>
    </message>
    <message>
        <source>База данных %1 создана.</source>
        <translation>The database %1 has been created.</translation>
    </message>
    <message>
        <source>Проверка подключения прошла успешно.</source>
        <translation>Test connection succeeded.</translation>
    </message>
    <message>
        <source>Сервер PostgreSQL</source>
        <translation>PostgreSQL server</translation>
    </message>
    <message>
        <source>С&amp;ервер:</source>
        <translation>S&amp;erver:</translation>
    </message>
    <message>
        <source>localhost</source>
        <translation>localhost</translation>
    </message>
    <message>
        <source>П&amp;орт:</source>
        <translation>P&amp;ort:</translation>
    </message>
    <message>
        <source>&amp;База данных:</source>
        <translation>&amp;Database:</translation>
    </message>
    <message>
        <source>По&amp;льзователь:</source>
        <translation>&amp;User:</translation>
    </message>
    <message>
        <source>Па&amp;роль:</source>
        <translation>Pass&amp;word:</translation>
    </message>
    <message>
        <source>Создать &amp;таблицы каталога</source>
        <translation>Create catalogue &amp;tables</translation>
    </message>
    <message>
        <source>PostgreSQL: общий каталог на сервере</source>
        <translation>PostgreSQL: a catalogue shared on a server</translation>
    </message>
    <message>
        <source>Таблицы каталога созданы в базе данных %1.</source>
        <translation>The catalogue tables were created in the database %1.</translation>
    </message>
    <message>
        <source>Добро пожаловать в Linkarium! Выберите файл каталога или нажмите «Создать...», чтобы начать с нового пустого каталога.</source>
        <translation>Welcome to Linkarium! Choose a catalogue file, or press &quot;Create...&quot; to start with a new, empty catalogue.</translation>
    </message>
    <message>
        <source>&amp;Шифрование:</source>
        <translation>&amp;Encryption:</translation>
    </message>
    <message>
        <source>Корневой с&amp;ертификат:</source>
        <translation>Root c&amp;ertificate:</translation>
    </message>
    <message>
        <source>файл центра сертификации, для проверки сертификата сервера</source>
        <translation>a certificate authority&apos;s file, to check the server&apos;s certificate</translation>
    </message>
    <message>
        <source>если сервер предлагает</source>
        <translation>when the server offers it</translation>
    </message>
    <message>
        <source>требовать</source>
        <translation>require</translation>
    </message>
    <message>
        <source>требовать и проверять сертификат</source>
        <translation>require and check the certificate</translation>
    </message>
    <message>
        <source>Пароль хранится в настройках программы.</source>
        <translation>The password is kept in the program&apos;s settings.</translation>
    </message>
    <message>
        <source>Пароль берётся из файла %1.</source>
        <translation>The password is taken from the file %1.</translation>
    </message>
    <message>
        <source>Без пароля: файла %1 нет.</source>
        <translation>No password: there is no file %1.</translation>
    </message>
    <message>
        <source>Пароль из службы «%1» или из файла %2.</source>
        <translation>The password comes from the service “%1” or the file %2.</translation>
    </message>
    <message>
        <source>&amp;Ждать ответа сервера:</source>
        <translation>Server &amp;wait limit:</translation>
    </message>
    <message>
        <source>Команда, на которую сервер не ответил за это время, отменяется и сообщается как невыполненная.</source>
        <translation>A command the server has not answered within this time is cancelled and reported as not done.</translation>
    </message>
    <message>
        <source> с</source>
        <translation> s</translation>
    </message>
</context>
<context>
    <name>TDataSet</name>
    <message>
        <source>Нельзя добавить поле в открытый набор данных</source>
        <translation>Cannot add a field to an open dataset</translation>
    </message>
    <message>
        <source>Поле &apos;%1&apos; не найдено</source>
        <translation>Field &apos;%1&apos; not found</translation>
    </message>
    <message>
        <source>Набор данных не связан с соединением</source>
        <translation>The dataset has no connection</translation>
    </message>
    <message>
        <source>Операция невозможна на закрытом наборе данных</source>
        <translation>Cannot perform this operation on a closed dataset</translation>
    </message>
    <message>
        <source>Запись не найдена</source>
        <translation>Record not found</translation>
    </message>
    <message>
        <source>Число полей и значений поиска не совпадает</source>
        <translation>The numbers of search fields and values differ</translation>
    </message>
    <message>
        <source>Нет записи для редактирования</source>
        <translation>There is no record to edit</translation>
    </message>
    <message>
        <source>Нет записи для удаления</source>
        <translation>There is no record to delete</translation>
    </message>
    <message>
        <source>Набор данных нельзя изменить: неизвестна таблица</source>
        <translation>The dataset cannot be changed: its table is unknown</translation>
    </message>
    <message>
        <source>Запись не найдена для изменения: её изменил или удалил другой пользователь после того, как она была прочитана. Обновите данные и повторите изменение.</source>
        <translation>Row cannot be located for updating: another user changed or deleted it since it was last read. Refresh the data and make the change again.</translation>
    </message>
    <message>
        <source>Запись не удалена: её изменил или удалил другой пользователь после того, как она была прочитана. Обновите данные и, если нужно, удалите её снова.</source>
        <translation>The record was not deleted: another user changed or deleted it since it was last read. Refresh the data and delete it again if you still want to.</translation>
    </message>
</context>
<context>
    <name>TDuplicatesForm</name>
    <message>
        <source>Дубликаты</source>
        <translation>Duplicates</translation>
    </message>
    <message>
        <source>Считать одним адресом, если отличаются только:</source>
        <translation>Count as one address when they differ only in:</translation>
    </message>
    <message>
        <source>Регистр букв схемы и имени сайта</source>
        <translation>Letter case of the scheme and the site name</translation>
    </message>
    <message>
        <source>«http» и «https» — одно</source>
        <translation>&quot;http&quot; and &quot;https&quot; are one</translation>
    </message>
    <message>
        <source>«www.» в начале имени сайта</source>
        <translation>&quot;www.&quot; at the start of the site name</translation>
    </message>
    <message>
        <source>«/» в конце адреса</source>
        <translation>&quot;/&quot; at the end of the address</translation>
    </message>
    <message>
        <source>Порт по умолчанию (:80, :443)</source>
        <translation>The default port (:80, :443)</translation>
    </message>
    <message>
        <source>Часть после «#»</source>
        <translation>The part after &quot;#&quot;</translation>
    </message>
    <message>
        <source>Метки отслеживания (utm_*, fbclid, gclid)</source>
        <translation>Tracking parameters (utm_*, fbclid, gclid)</translation>
    </message>
    <message>
        <source>Порядок параметров запроса</source>
        <translation>The order of query parameters</translation>
    </message>
    <message>
        <source>Адрес</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>Описание</source>
        <translation>Description</translation>
    </message>
    <message>
        <source>Категории</source>
        <translation>Categories</translation>
    </message>
    <message>
        <source>&amp;Найти</source>
        <translation>&amp;Find</translation>
    </message>
    <message>
        <source>&amp;Объединить</source>
        <translation>&amp;Merge</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>записей: %1</source>
        <translation>records: %1</translation>
    </message>
    <message>
        <source>Дубликатов нет.</source>
        <translation>No duplicates.</translation>
    </message>
    <message>
        <source>Групп: %1. Отмеченная запись остаётся, остальные объединяются с ней.</source>
        <translation>Groups: %1. The ticked record stays; the others are merged into it.</translation>
    </message>
    <message>
        <source>Объединено групп: %1.</source>
        <translation>Groups merged: %1.</translation>
    </message>
</context>
<context>
    <name>TEditDBGridForm</name>
    <message>
        <source>Настройка столбцов</source>
        <translation>Set Up Columns</translation>
    </message>
    <message>
        <source>&amp;Столбец:</source>
        <translation>&amp;Column:</translation>
    </message>
    <message>
        <source>Переместить вверх</source>
        <translation>Move up</translation>
    </message>
    <message>
        <source>Переместить вниз</source>
        <translation>Move down</translation>
    </message>
    <message>
        <source>&amp;ОК</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>TEditDictionaryForm</name>
    <message>
        <source>Главный список</source>
        <translation>Main List</translation>
    </message>
    <message>
        <source>&amp;Новая:</source>
        <translation>&amp;New:</translation>
    </message>
    <message>
        <source>&amp;Добавить</source>
        <translation>&amp;Add</translation>
    </message>
    <message>
        <source>&amp;Переименовать</source>
        <translation>Re&amp;name</translation>
    </message>
    <message>
        <source>&amp;Удалить</source>
        <translation>&amp;Delete</translation>
    </message>
    <message>
        <source>&amp;ОК</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Переименовать категорию «%1» в «%2»? Изменится записей: %3.</source>
        <translation>Rename the category &quot;%1&quot; to &quot;%2&quot;? Records that change: %3.</translation>
    </message>
    <message>
        <source>Объединить категорию «%1» с категорией «%2»? Изменится записей: %3.</source>
        <translation>Merge the category &quot;%1&quot; into the category &quot;%2&quot;? Records that change: %3.</translation>
    </message>
    <message>
        <source>Категория «%1» есть в записях: %2. Убрать её и из этих записей?</source>
        <translation>Records carrying the category &quot;%1&quot;: %2. Remove it from these records too?</translation>
    </message>
    <message>
        <source>перевод строки (%1)</source>
        <translation>a line feed (%1)</translation>
    </message>
    <message>
        <source>возврат каретки (%1)</source>
        <translation>a carriage return (%1)</translation>
    </message>
    <message>
        <source>разделитель строк (%1)</source>
        <translation>a line separator (%1)</translation>
    </message>
    <message>
        <source>разделитель абзацев (%1)</source>
        <translation>a paragraph separator (%1)</translation>
    </message>
    <message>
        <source>управляющий символ (%1)</source>
        <translation>a control character (%1)</translation>
    </message>
    <message>
        <source>Название «%1» содержит %2: в записях оно стало бы несколькими названиями.</source>
        <translation>The name &quot;%1&quot; contains %2: in the records it would become several names.</translation>
    </message>
    <message>
        <source>Название длиной %1 символов не помещается: поле вмещает не более %2.</source>
        <translation>A name %1 characters long does not fit: the field holds at most %2.</translation>
    </message>
    <message>
        <source>и ещё записей: %1</source>
        <translation>and %1 more records</translation>
    </message>
    <message>
        <source>«%1»: с заменой «%2» категории стали бы длиной %3 символов</source>
        <translation>&quot;%1&quot;: with &quot;%2&quot; changed, its categories would be %3 characters long</translation>
    </message>
    <message>
        <source>Эти записи не могут принять переименование: поле категорий вмещает не более %1 символов.
%2

Продолжить без них? Они сохранят прежние названия. «Нет» вернёт в список со всеми изменениями.</source>
        <translation>These records cannot take the renaming: the categories field holds at most %1 characters.
%2

Go on without them? They keep their old names. &quot;No&quot; goes back to the list with every change in it.</translation>
    </message>
</context>
<context>
    <name>TEditURLForm</name>
    <message>
        <source>URL</source>
        <translation>URL</translation>
    </message>
    <message>
        <source>Открыть страницу</source>
        <translation>Open the page</translation>
    </message>
    <message>
        <source>Описание</source>
        <translation>Description</translation>
    </message>
    <message>
        <source>Категории...</source>
        <translation>Categories...</translation>
    </message>
    <message>
        <source>&amp;ОК</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Категории</source>
        <translation>Categories</translation>
    </message>
    <message>
        <source>%1 — %2</source>
        <translation>%1 — %2</translation>
    </message>
    <message>
        <source>…и ещё %1</source>
        <translation>…and %1 more</translation>
    </message>
    <message>
        <source>Адрес %1 уже есть в каталоге:
%2

Открыть существующую запись вместо новой?
«Да» — открыть её, «Нет» — сохранить новую запись, «Отмена» — вернуться к записи.</source>
        <translation>The address %1 is in the catalogue already:
%2

Open the existing record instead of the new one?
&quot;Yes&quot; opens it, &quot;No&quot; saves the new record, &quot;Cancel&quot; goes back to the record.</translation>
    </message>
    <message>
        <source>Закрыть запись? Ваш текст, показанный под полями, не будет сохранён.</source>
        <translation>Close the record? Your text shown under the fields will not be saved.</translation>
    </message>
    <message>
        <source>Эту запись удалил другой пользователь, пока вы её правили.
«Да» — сохранить ваш текст как новую запись, «Нет» — продолжить правку.</source>
        <translation>Another user deleted this record while you were editing it.
&quot;Yes&quot; saves your text as a new record, &quot;No&quot; goes on editing.</translation>
    </message>
    <message>
        <source>Эту запись изменил другой пользователь, пока вы её правили.
«Да» — показать его версию, а ваш текст оставить под каждым полем, где он другой; «Нет» — продолжить правку.</source>
        <translation>Another user changed this record while you were editing it.
&quot;Yes&quot; shows their version and keeps your text under each field where it differs; &quot;No&quot; goes on editing.</translation>
    </message>
    <message>
        <source>Запись была удалена.</source>
        <translation>The record has been deleted.</translation>
    </message>
    <message>
        <source>Ваш текст: %1</source>
        <translation>Your text: %1</translation>
    </message>
</context>
<context>
    <name>TExportForm</name>
    <message>
        <source>Экспорт</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>&amp;Формат:</source>
        <translation>&amp;Format:</translation>
    </message>
    <message>
        <source>Файл закладок HTML (читают все браузеры)</source>
        <translation>HTML bookmark file (every browser reads it)</translation>
    </message>
    <message>
        <source>Таблица CSV</source>
        <translation>CSV table</translation>
    </message>
    <message>
        <source>Папка ярлыков .url</source>
        <translation>Folder of .url shortcuts</translation>
    </message>
    <message>
        <source>Записи:</source>
        <translation>Records:</translation>
    </message>
    <message>
        <source>&amp;Куда:</source>
        <translation>&amp;To:</translation>
    </message>
    <message>
        <source>&amp;Обзор...</source>
        <translation>&amp;Browse...</translation>
    </message>
    <message>
        <source>Запись с несколькими категориями — в папке &amp;каждой</source>
        <translation>A record with several categories in the folder of &amp;each</translation>
    </message>
    <message>
        <source>UTF-8 с &amp;меткой порядка байтов (для электронных таблиц)</source>
        <translation>UTF-8 with a byte order &amp;mark (for spreadsheets)</translation>
    </message>
    <message>
        <source>&amp;Экспорт</source>
        <translation>&amp;Export</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>в &amp;окне, с его фильтром и порядком (%1)</source>
        <translation>in the &amp;window, with its filter and order (%1)</translation>
    </message>
    <message>
        <source>&amp;все (%1)</source>
        <translation>&amp;all (%1)</translation>
    </message>
    <message>
        <source>Папка для ярлыков</source>
        <translation>Folder for the shortcuts</translation>
    </message>
    <message>
        <source>Экспорт в файл</source>
        <translation>Export to a file</translation>
    </message>
    <message>
        <source>Таблица CSV (*.csv)</source>
        <translation>CSV table (*.csv)</translation>
    </message>
    <message>
        <source>Файл закладок (*.html *.htm)</source>
        <translation>Bookmark file (*.html *.htm)</translation>
    </message>
    <message>
        <source>Укажите, куда записать экспорт.</source>
        <translation>Say where to write the export.</translation>
    </message>
</context>
<context>
    <name>TField</name>
    <message>
        <source>&apos;%1&apos; - неверное логическое значение</source>
        <translation>&apos;%1&apos; is not a valid Boolean value</translation>
    </message>
    <message>
        <source>&apos;%1&apos; - неверное целое значение</source>
        <translation>&apos;%1&apos; is not a valid integer value</translation>
    </message>
    <message>
        <source>&apos;%1&apos; - неверное значение с плавающей точкой</source>
        <translation>&apos;%1&apos; is not a valid floating point value</translation>
    </message>
    <message>
        <source>&apos;%1&apos; - неверная дата</source>
        <translation>&apos;%1&apos; is not a valid date</translation>
    </message>
    <message>
        <source>Поле &apos;%1&apos; нельзя изменить</source>
        <translation>Field &apos;%1&apos; cannot be modified</translation>
    </message>
    <message>
        <source>Набор данных не находится в режиме вставки или редактирования</source>
        <translation>Dataset not in edit or insert mode</translation>
    </message>
</context>
<context>
    <name>TGeneralModule</name>
    <message>
        <source>Список категорий...</source>
        <translation>Category List...</translation>
    </message>
    <message>
        <source>Соединение с базой не установлено!</source>
        <translation>No connection to the database!</translation>
    </message>
    <message>
        <source>Ошибка при подключении к базе.</source>
        <translation>Error connecting to the database.</translation>
    </message>
    <message>
        <source>Cписок категорий</source>
        <translation>Category List</translation>
    </message>
    <message>
        <source>Адрес не открыт: %1
Причина: %2.</source>
        <translation>The address was not opened: %1
Reason: %2.</translation>
    </message>
</context>
<context>
    <name>THelpForm</name>
    <message>
        <source>Справка Linkarium</source>
        <translation>Linkarium Help</translation>
    </message>
    <message>
        <source>Поиск темы</source>
        <translation>Search topics</translation>
    </message>
    <message>
        <source>&amp;Темы:</source>
        <translation>&amp;Topics:</translation>
    </message>
    <message>
        <source>Файл справки %1 не найден.</source>
        <translation>The help file %1 was not found.</translation>
    </message>
</context>
<context>
    <name>TImportPreviewForm</name>
    <message>
        <source>Импорт: что будет сделано</source>
        <translation>Import: what will be done</translation>
    </message>
    <message>
        <source>&amp;Показать:</source>
        <translation>&amp;Show:</translation>
    </message>
    <message>
        <source>Параметры</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>&amp;Дубликаты:</source>
        <translation>&amp;Duplicates:</translation>
    </message>
    <message>
        <source>Пропускать</source>
        <translation>Skip them</translation>
    </message>
    <message>
        <source>Импортировать всё равно</source>
        <translation>Import them anyway</translation>
    </message>
    <message>
        <source>Добавлять их категории к имеющейся записи</source>
        <translation>Add their categories to the existing record</translation>
    </message>
    <message>
        <source>&amp;Не считать категориями папки:</source>
        <translation>&amp;Folders that are no categories:</translation>
    </message>
    <message>
        <source>Имена через «; », без учёта регистра</source>
        <translation>Names separated by &quot;; &quot;, letter case aside</translation>
    </message>
    <message>
        <source>Добавить &amp;категорию:</source>
        <translation>Add a &amp;category:</translation>
    </message>
    <message>
        <source>Импортировать &amp;букмарклеты (javascript:)</source>
        <translation>Import &amp;bookmarklets (javascript:)</translation>
    </message>
    <message>
        <source>&amp;Сохранить список...</source>
        <translation>&amp;Save the list...</translation>
    </message>
    <message>
        <source>&amp;Импортировать</source>
        <translation>&amp;Import</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>все записи</source>
        <translation>all entries</translation>
    </message>
    <message>
        <source>Новых: %1   Дубликатов: %2   Повторов в импорте: %3   Ошибочных: %4   Пропущенных: %5</source>
        <translation>New: %1   Duplicates: %2   Repeated in the import: %3   Invalid: %4   Skipped: %5</translation>
    </message>
    <message>
        <source>Не удалось записать %1: %2</source>
        <translation>Could not write %1: %2</translation>
    </message>
    <message>
        <source>Сохранить список</source>
        <translation>Save the list</translation>
    </message>
    <message>
        <source>Таблица CSV (*.csv)</source>
        <translation>CSV table (*.csv)</translation>
    </message>
    <message>
        <source>Текст (*.txt)</source>
        <translation>Text (*.txt)</translation>
    </message>
    <message>
        <source>&amp;Папки:</source>
        <translation>&amp;Folders:</translation>
    </message>
    <message>
        <source>каждая папка — категория</source>
        <translation>each folder a category</translation>
    </message>
    <message>
        <source>путь папок — одна категория («Папка/Подпапка»)</source>
        <translation>the folder path one category (&quot;Folder/Subfolder&quot;)</translation>
    </message>
    <message>
        <source>Адреса, различающиеся только после «#», считать &amp;одинаковыми</source>
        <translation>Treat addresses that differ only after &quot;#&quot; as the &amp;same</translation>
    </message>
    <message>
        <source>Имя &amp;ярлыка — описание, если другого нет</source>
        <translation>Shortcut &amp;name as the description when there is none</translation>
    </message>
    <message>
        <source>   Не веб-адресов: %1</source>
        <translation>   Not web addresses: %1</translation>
    </message>
    <message>
        <source>   Повреждённых: %1</source>
        <translation>   Damaged: %1</translation>
    </message>
</context>
<context>
    <name>TImportPreviewModel</name>
    <message>
        <source>Адрес</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>Описание</source>
        <translation>Description</translation>
    </message>
    <message>
        <source>Категории</source>
        <translation>Categories</translation>
    </message>
    <message>
        <source>Итог</source>
        <translation>Verdict</translation>
    </message>
</context>
<context>
    <name>TLinkCheckForm</name>
    <message>
        <source>Проверка ссылок</source>
        <translation>Link Check</translation>
    </message>
    <message>
        <source>Проверено:</source>
        <translation>Checked:</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Проверено %1 из %2</source>
        <translation>Checked %1 of %2</translation>
    </message>
    <message>
        <source>Проверка ссылок прервана.</source>
        <translation>The link check was cancelled.</translation>
    </message>
    <message>
        <source>Проверка ссылок закончена.</source>
        <translation>The link check is finished.</translation>
    </message>
    <message>
        <source>Проверено ссылок: %1 из %2.</source>
        <translation>Links checked: %1 of %2.</translation>
    </message>
    <message>
        <source>Живы</source>
        <translation>Alive</translation>
    </message>
    <message>
        <source>С ограниченным доступом</source>
        <translation>Restricted</translation>
    </message>
    <message>
        <source>Перемещены</source>
        <translation>Moved</translation>
    </message>
    <message>
        <source>Ошибка клиента (4xx)</source>
        <translation>Client error (4xx)</translation>
    </message>
    <message>
        <source>Ошибка сервера (5xx)</source>
        <translation>Server error (5xx)</translation>
    </message>
    <message>
        <source>Недоступны</source>
        <translation>Unreachable</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>Не проверялись (file:, mailto: и другие не веб-адреса): %1</source>
        <translation>Not checked (file:, mailto: and other addresses not on the web): %1</translation>
    </message>
    <message>
        <source>Результаты проверки ссылок (%1) не записаны в каталог; проверка продолжается, и они будут записаны при следующей попытке.
%2</source>
        <translation>The link check results (%1) were not written to the catalogue; the check goes on, and they will be written at the next attempt.
%2</translation>
    </message>
    <message>
        <source>Не записаны в каталог результаты проверки: %1. Они будут записаны при следующей проверке ссылок в этом окне.
%2</source>
        <translation>Check results not written to the catalogue: %1. They will be written with the next link check in this window.
%2</translation>
    </message>
</context>
<context>
    <name>TLinkChecker</name>
    <message>
        <source>Сервер %1 не найден</source>
        <translation>The server %1 was not found</translation>
    </message>
    <message>
        <source>Сервер %1 не ответил за %2 с</source>
        <translation>The server %1 did not answer within %2 s</translation>
    </message>
    <message>
        <source>Перенаправления идут по кругу: %1</source>
        <translation>The redirects go round in a loop: %1</translation>
    </message>
    <message>
        <source>Больше %1 перенаправлений</source>
        <translation>More than %1 redirects</translation>
    </message>
    <message>
        <source>Перенаправление на адрес, который не проверяется: %1</source>
        <translation>A redirect to an address that is not checked: %1</translation>
    </message>
    <message>
        <source>перенаправления: %1</source>
        <translation>redirects: %1</translation>
    </message>
</context>
<context>
    <name>TLinkOpener</name>
    <message>
        <source>программа %1 не запускается: %2</source>
        <translation>the program %1 cannot be started: %2</translation>
    </message>
    <message>
        <source>программа %1 завершилась аварийно</source>
        <translation>the program %1 crashed</translation>
    </message>
    <message>
        <source>не найдена программа, которая открывает такие адреса</source>
        <translation>no program that opens such addresses was found</translation>
    </message>
    <message>
        <source>браузер или почтовая программа не смогли открыть адрес</source>
        <translation>the browser or the mail program could not open the address</translation>
    </message>
    <message>
        <source>программа %1 завершилась с кодом %2</source>
        <translation>the program %1 ended with code %2</translation>
    </message>
</context>
<context>
    <name>TMainForm</name>
    <message>
        <source>Linkarium — каталог ваших ссылок</source>
        <translation>Linkarium — a catalogue of your links</translation>
    </message>
    <message>
        <source>Сохраняйте, находите, открывайте</source>
        <translation>Keep them, find them, open them</translation>
    </message>
    <message>
        <source>Порядок в закладках — Linkarium</source>
        <translation>Bookmarks in order — Linkarium</translation>
    </message>
    <message>
        <source>Выход</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>URL...</source>
        <translation>URL...</translation>
    </message>
    <message>
        <source>Linkarium</source>
        <translation>Linkarium</translation>
    </message>
    <message>
        <source>Список окон...</source>
        <translation>Window List...</translation>
    </message>
    <message>
        <source>Настройки...</source>
        <translation>Settings...</translation>
    </message>
    <message>
        <source>Подключение к базе...</source>
        <translation>Database Connection...</translation>
    </message>
    <message>
        <source>О программе...</source>
        <translation>About...</translation>
    </message>
    <message>
        <source>Содержание...</source>
        <translation>Contents...</translation>
    </message>
    <message>
        <source>Поиск темы...</source>
        <translation>Search for Help On...</translation>
    </message>
    <message>
        <source>&amp;Файл</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>&amp;Модули</source>
        <translation>&amp;Modules</translation>
    </message>
    <message>
        <source>Linkarium...</source>
        <translation>Linkarium...</translation>
    </message>
    <message>
        <source>&amp;Настройка</source>
        <translation>&amp;Setup</translation>
    </message>
    <message>
        <source>&amp;Справка</source>
        <translation>&amp;Help</translation>
    </message>
</context>
<context>
    <name>TOptionsForm</name>
    <message>
        <source>Настройки</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Общее</source>
        <translation>General</translation>
    </message>
    <message>
        <source>Язык</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>Выбор языка:</source>
        <translation>Language:</translation>
    </message>
    <message>
        <source>Почта</source>
        <translation>Mail</translation>
    </message>
    <message>
        <source>Информация о сервере</source>
        <translation>Server information</translation>
    </message>
    <message>
        <source>SMTP сервер:</source>
        <translation>SMTP server:</translation>
    </message>
    <message>
        <source>Порт:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>Почтовое сообщение</source>
        <translation>Mail message</translation>
    </message>
    <message>
        <source>Кодировка по умолчанию:</source>
        <translation>Default character set:</translation>
    </message>
    <message>
        <source>Протокол</source>
        <translation>Log</translation>
    </message>
    <message>
        <source>Сохранять протокол</source>
        <translation>Keep a log</translation>
    </message>
    <message>
        <source>Почтовой рассылки</source>
        <translation>Of mailing</translation>
    </message>
    <message>
        <source>&amp;ОК</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Новые настройки языка вступят в силу после перезапуска программы.</source>
        <translation>The new language settings take effect after the program is restarted.</translation>
    </message>
    <message>
        <source>Защита соединения:</source>
        <translation>Connection security:</translation>
    </message>
    <message>
        <source>Имя пользователя:</source>
        <translation>User name:</translation>
    </message>
    <message>
        <source>Пароль:</source>
        <translation>Password:</translation>
    </message>
    <message>
        <source>Доверенный сертификат (SHA-256):</source>
        <translation>Trusted certificate (SHA-256):</translation>
    </message>
    <message>
        <source>Ожидание ответа, с:</source>
        <translation>Wait for a reply, s:</translation>
    </message>
    <message>
        <source>Нет</source>
        <translation>None</translation>
    </message>
    <message>
        <source>Файл протокола: %1</source>
        <translation>Log file: %1</translation>
    </message>
    <message>
        <source>Проверка ссылок</source>
        <translation>Link Check</translation>
    </message>
    <message>
        <source>Ожидание ответа сайта, с:</source>
        <translation>Wait for a site&apos;s answer, s:</translation>
    </message>
    <message>
        <source>Хранить последних проверок каждого адреса:</source>
        <translation>Checks kept for each address (newest):</translation>
    </message>
</context>
<context>
    <name>TParameters</name>
    <message>
        <source>Параметр %1 не найден.</source>
        <translation>Parameter %1 not found.</translation>
    </message>
</context>
<context>
    <name>TPostgresProvider</name>
    <message>
        <source>Неверный порт сервера: %1</source>
        <translation>Invalid server port: %1</translation>
    </message>
    <message>
        <source>Не указан сервер базы данных.</source>
        <translation>No database server given.</translation>
    </message>
    <message>
        <source>Не удалось подключиться к серверу %1.
%2</source>
        <translation>Cannot connect to the server %1.
%2</translation>
    </message>
    <message>
        <source>Сервер PostgreSQL версии %1 не поддерживается: нужна версия 13 или новее.</source>
        <translation>PostgreSQL server version %1 is not supported: version 13 or later is needed.</translation>
    </message>
    <message>
        <source>Нет соединения с базой данных.</source>
        <translation>Not connected to a database.</translation>
    </message>
    <message>
        <source>Сервер отменил транзакцию после ошибки в ней: изменения не сохранены.</source>
        <translation>The server cancelled the transaction after an error in it: the changes were not saved.</translation>
    </message>
    <message>
        <source>Неизвестный режим шифрования: %1</source>
        <translation>Unknown encryption mode: %1</translation>
    </message>
    <message>
        <source>Соединение с сервером базы данных потеряно; выполнена ли команда, неизвестно. Следующая команда подключится заново.
%1</source>
        <translation>The connection to the database server was lost; whether the command was carried out is unknown. The next command connects again.
%1</translation>
    </message>
    <message>
        <source>Соединение с сервером базы данных потеряно.
%1</source>
        <translation>The connection to the database server was lost.
%1</translation>
    </message>
    <message>
        <source>Указан корневой сертификат, но шифрование отключено: выберите режим с проверкой сертификата или уберите корневой сертификат.</source>
        <translation>A root certificate is given but encryption is turned off: choose a mode that verifies the certificate or remove the root certificate.</translation>
    </message>
    <message>
        <source>Неверное время ожидания «%1» в строке подключения: нужно число секунд от 1 до 86400.</source>
        <translation>Invalid time limit “%1” in the connection string: a number of seconds from 1 to 86400 is needed.</translation>
    </message>
    <message>
        <source>Команда отменена.</source>
        <translation>The command was cancelled.</translation>
    </message>
    <message>
        <source>Сервер %1 не выполнил команду за %2 с, и она отменена. Если команда должна идти дольше, увеличьте время ожидания в настройках подключения.</source>
        <translation>Server %1 did not finish the command within %2 s, and it was cancelled. If the command needs longer, raise the wait limit in the connection settings.</translation>
    </message>
    <message>
        <source>Команда отменена, но сервер %1 не ответил; выполнена ли команда, неизвестно. Проверьте, прежде чем повторять.</source>
        <translation>The command was cancelled, but server %1 did not answer; whether the command was carried out is unknown. Check before repeating it.</translation>
    </message>
    <message>
        <source>Сервер %1 не ответил.</source>
        <translation>Server %1 did not answer.</translation>
    </message>
    <message>
        <source>Чтение отменено: сервер %1 не отвечает.</source>
        <translation>Reading cancelled: server %1 does not answer.</translation>
    </message>
    <message>
        <source>Сервер %1 не ответил за %2 с; выполнена ли команда, неизвестно. Проверьте, прежде чем повторять.</source>
        <translation>Server %1 did not answer within %2 s; whether the command was carried out is unknown. Check before repeating it.</translation>
    </message>
    <message>
        <source>Сервер %1 не ответил за %2 с.</source>
        <translation>Server %1 did not answer within %2 s.</translation>
    </message>
    <message>
        <source>Сервер %1 не ответил за %2 с: чтение прервано.</source>
        <translation>Server %1 did not answer within %2 s: reading stopped.</translation>
    </message>
    <message>
        <source>Недостаточно памяти.</source>
        <translation>Out of memory.</translation>
    </message>
    <message>
        <source>Подключение к серверу %1 отменено.</source>
        <translation>Connecting to server %1 was cancelled.</translation>
    </message>
    <message>
        <source>Сервер не ответил за %1 с.</source>
        <translation>The server did not answer within %1 s.</translation>
    </message>
    <message>
        <source>Сервер %1 ещё выполняет другую команду программы; повторите, когда она закончится.</source>
        <translation>Server %1 is still working on another command of the program; repeat when it has finished.</translation>
    </message>
</context>
<context>
    <name>TPrepareSubjectReportForm</name>
    <message>
        <source>Поля отчёта</source>
        <translation>Report Fields</translation>
    </message>
    <message>
        <source>&amp;Выберите поля для отчёта:</source>
        <translation>&amp;Choose the fields of the report:</translation>
    </message>
    <message>
        <source>&amp;Просмотр</source>
        <translation>&amp;Preview</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>TPreviewHTMLForm</name>
    <message>
        <source>Предварительный просмотр</source>
        <translation>Preview</translation>
    </message>
    <message>
        <source>Отправить сообщение</source>
        <translation>Send message</translation>
    </message>
    <message>
        <source>Сохранить</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Параметры страницы</source>
        <translation>Page setup</translation>
    </message>
    <message>
        <source>Печать</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>HTML файл (*.htm *.html)</source>
        <translation>HTML file (*.htm *.html)</translation>
    </message>
    <message>
        <source>Любой файл (*)</source>
        <translation>Any file (*)</translation>
    </message>
    <message>
        <source>Рассылка</source>
        <translation>Mailing</translation>
    </message>
    <message>
        <source>Предыдущие записи</source>
        <translation>Previous records</translation>
    </message>
    <message>
        <source>Следующие записи</source>
        <translation>Next records</translation>
    </message>
    <message>
        <source>Записи %1–%2 из %3</source>
        <translation>Records %1–%2 of %3</translation>
    </message>
    <message>
        <source>Не удалось сохранить файл %1: %2</source>
        <translation>Could not save the file %1: %2</translation>
    </message>
    <message>
        <source>Отчёт</source>
        <translation>Report</translation>
    </message>
    <message>
        <source>Файл %1 уже существует. Заменить его?</source>
        <translation>The file %1 already exists. Replace it?</translation>
    </message>
    <message>
        <source>Крупнее</source>
        <translation>Larger</translation>
    </message>
    <message>
        <source>Мельче</source>
        <translation>Smaller</translation>
    </message>
    <message>
        <source>Обычный размер</source>
        <translation>Normal Size</translation>
    </message>
</context>
<context>
    <name>TRegistryStore</name>
    <message>
        <source>Файл настроек %1 повреждён (%2). Он сохранён как %3; программа начинает работу с настройками по умолчанию.</source>
        <translation>The settings file %1 is damaged (%2). It has been kept as %3; the program starts with default settings.</translation>
    </message>
    <message>
        <source>нет прав доступа</source>
        <translation>permission denied</translation>
    </message>
    <message>
        <source>файловая система доступна только для чтения</source>
        <translation>the file system is read-only</translation>
    </message>
    <message>
        <source>папка не существует</source>
        <translation>the folder does not exist</translation>
    </message>
    <message>
        <source>часть пути не является папкой</source>
        <translation>a part of the path is not a folder</translation>
    </message>
    <message>
        <source>нет места на диске</source>
        <translation>no space left on the disk</translation>
    </message>
    <message>
        <source>слишком много символьных ссылок</source>
        <translation>too many symbolic links</translation>
    </message>
    <message>
        <source>ошибка записи</source>
        <translation>write error</translation>
    </message>
    <message>
        <source>файл занят другим процессом (database is locked)</source>
        <translation>another process holds the file (database is locked)</translation>
    </message>
    <message>
        <source>файл доступен только для чтения</source>
        <translation>the file is read-only</translation>
    </message>
    <message>
        <source>файл нельзя открыть</source>
        <translation>the file cannot be opened</translation>
    </message>
    <message>
        <source>Настройки не сохранены в файле %1: %2.</source>
        <translation>The settings were not saved in the file %1: %2.</translation>
    </message>
    <message>
        <source>Файл настроек %1 нельзя использовать: %2. Программа работает с настройками по умолчанию; изменённые настройки не сохраняются, пока файл недоступен.</source>
        <translation>The settings file %1 cannot be used: %2. The program runs with the default settings; changed settings are not kept while the file is unavailable.</translation>
    </message>
    <message>
        <source>ни одна папка не приняла копию</source>
        <translation>no folder took the copy</translation>
    </message>
    <message>
        <source>файл повреждён (%1)</source>
        <translation>the file is damaged (%1)</translation>
    </message>
    <message>
        <source>Файл настроек %1 повреждён (%2) и не может быть переименован (%3); копию сохранить не удалось (%4). Программа работает с настройками по умолчанию; изменённые настройки не сохраняются.</source>
        <translation>The settings file %1 is damaged (%2) and cannot be renamed (%3); no copy of it could be kept (%4). The program runs with the default settings; changed settings are not kept.</translation>
    </message>
    <message>
        <source>Файл настроек %1 повреждён (%2) и не может быть переименован (%3). Его копия сохранена как %4. Программа работает с настройками по умолчанию; изменённые настройки не сохраняются.</source>
        <translation>The settings file %1 is damaged (%2) and cannot be renamed (%3). A copy of it was kept as %4. The program runs with the default settings; changed settings are not kept.</translation>
    </message>
    <message>
        <source>на его месте папка</source>
        <translation>a folder stands in its place</translation>
    </message>
    <message>
        <source>это не обычный файл</source>
        <translation>it is not a regular file</translation>
    </message>
    <message>
        <source>%1 (ссылка на %2)</source>
        <translation>%1 (a link to %2)</translation>
    </message>
</context>
<context>
    <name>TReportMailer</name>
    <message>
        <source>Не указан или неверный адрес SMTP сервера. Обратитесь к настройкам программы.</source>
        <translation>The SMTP server address is missing or wrong. Check the program options.</translation>
    </message>
    <message>
        <source>Письмо для %1 не отправлено. Ответ сервера %2:
%3</source>
        <translation>The message to %1 was not sent. The server %2 answered:
%3</translation>
    </message>
    <message>
        <source>Письмо для %1 не отправлено:
%2</source>
        <translation>The message to %1 was not sent:
%2</translation>
    </message>
</context>
<context>
    <name>TSendInfoForm</name>
    <message>
        <source>Параметры почтовой рассылки</source>
        <translation>Mailing Parameters</translation>
    </message>
    <message>
        <source>&amp;Имя отправителя:</source>
        <translation>Sender&apos;s &amp;name:</translation>
    </message>
    <message>
        <source>&amp;Адрес отправителя:</source>
        <translation>Sender&apos;s &amp;address:</translation>
    </message>
    <message>
        <source>Обратный а&amp;дрес:</source>
        <translation>Reply-&amp;to address:</translation>
    </message>
    <message>
        <source>&amp;Кому:</source>
        <translation>T&amp;o:</translation>
    </message>
    <message>
        <source>Отправить:</source>
        <translation>Send:</translation>
    </message>
    <message>
        <source>&amp;Всем по списку</source>
        <translation>To &amp;everybody on the list</translation>
    </message>
    <message>
        <source>&amp;Текущее сообщение</source>
        <translation>&amp;Current message</translation>
    </message>
    <message>
        <source>&amp;Тема:</source>
        <translation>&amp;Subject:</translation>
    </message>
    <message>
        <source>Присоединения:</source>
        <translation>Attachments:</translation>
    </message>
    <message>
        <source>Добавить</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>Удалить</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>&amp;Отправить</source>
        <translation>S&amp;end</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>байт,байта,байт</source>
        <translation>bytes,bytes,bytes</translation>
    </message>
    <message>
        <source>Присоединить файл</source>
        <translation>Attach File</translation>
    </message>
    <message>
        <source>Любой файл (*)</source>
        <translation>Any file (*)</translation>
    </message>
    <message>
        <source>Имя отправителя</source>
        <translation>Sender name</translation>
    </message>
    <message>
        <source>Адрес отправителя</source>
        <translation>Sender address</translation>
    </message>
    <message>
        <source>Обратный адрес</source>
        <translation>Reply-to address</translation>
    </message>
    <message>
        <source>Кому</source>
        <translation>To</translation>
    </message>
    <message>
        <source>Тема</source>
        <translation>Subject</translation>
    </message>
    <message>
        <source>Поле &quot;%1&quot; не может содержать перевод строки.</source>
        <translation>The field &quot;%1&quot; cannot contain a line break.</translation>
    </message>
</context>
<context>
    <name>TServerWaitDialog</name>
    <message>
        <source>Ожидание сервера</source>
        <translation>Waiting for the server</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Сервер %1 получил просьбу отменить команду; ожидание его ответа: %2 с…</source>
        <translation>Server %1 has been asked to cancel the command; waiting for its answer: %2 s…</translation>
    </message>
    <message>
        <source>Ожидание ответа сервера %1: %2 с…</source>
        <translation>Waiting for server %1 to answer: %2 s…</translation>
    </message>
</context>
<context>
    <name>TShowProgressForm</name>
    <message>
        <source>Прогресс:</source>
        <translation>Progress:</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Прервать текущую операцию?</source>
        <translation>Abort the current operation?</translation>
    </message>
</context>
<context>
    <name>TSqliteProvider</name>
    <message>
        <source>Не указан файл базы данных.</source>
        <translation>No database file is given.</translation>
    </message>
    <message>
        <source>Файл базы данных %1 не найден.</source>
        <translation>The database file %1 was not found.</translation>
    </message>
    <message>
        <source>%1 - это папка, а не файл базы данных.</source>
        <translation>%1 is a folder, not a database file.</translation>
    </message>
    <message>
        <source>Файл базы данных %1 или его папка доступны только для чтения.</source>
        <translation>The database file %1 or its folder is read-only.</translation>
    </message>
    <message>
        <source>Не удалось открыть базу данных %1.
%2</source>
        <translation>Could not open the database %1.
%2</translation>
    </message>
    <message>
        <source>Файл %1 не является базой данных SQLite.
%2</source>
        <translation>The file %1 is not an SQLite database.
%2</translation>
    </message>
    <message>
        <source>Нет соединения с базой данных.</source>
        <translation>Not connected to a database.</translation>
    </message>
    <message>
        <source>Ошибка в запросе к базе данных.</source>
        <translation>Error in the database query.</translation>
    </message>
    <message>
        <source>Ошибка при выполнении запроса к базе данных.</source>
        <translation>Error running the database query.</translation>
    </message>
    <message>
        <source>%1
Файл базы данных: %2</source>
        <translation>%1
Database file: %2</translation>
    </message>
    <message>
        <source>Файл %1 пуст: это не база данных каталога.</source>
        <translation>The file %1 is empty: it is not a catalogue database.</translation>
    </message>
    <message>
        <source>База данных %1 занята другой программой (database is locked).</source>
        <translation>Another program holds the database %1 (database is locked).</translation>
    </message>
    <message>
        <source>%1 - не обычный файл (канал, устройство или сокет): это не база данных каталога.</source>
        <translation>%1 is not a regular file (a pipe, a device or a socket): it is not a catalogue database.</translation>
    </message>
    <message>
        <source>Ошибка чтения с диска при открытии базы данных %1: файл не удалось прочитать, сам он, возможно, цел.
%2</source>
        <translation>A disk read error while opening the database %1: the file could not be read; the file itself may be intact.
%2</translation>
    </message>
    <message>
        <source>Ошибка записи на диск при сохранении: неизвестно, сохранено ли изменение.
%1</source>
        <translation>A disk write error while saving: it is not known whether the change was saved.
%1</translation>
    </message>
</context>
<context>
    <name>TURLViewForm</name>
    <message>
        <source>Категории</source>
        <translation>Categories</translation>
    </message>
    <message>
        <source>Описание</source>
        <translation>Description</translation>
    </message>
    <message>
        <source>Импорт из Избранного...</source>
        <translation>Import from Favorites...</translation>
    </message>
    <message>
        <source>Импорт закладок из файла...</source>
        <translation>Import Bookmarks from File...</translation>
    </message>
    <message>
        <source>Импорт закладок браузера...</source>
        <translation>Import Browser Bookmarks...</translation>
    </message>
    <message>
        <source>Папка Избранного</source>
        <translation>Favorites Folder</translation>
    </message>
    <message>
        <source>Импорт...</source>
        <translation>Importing...</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Добавлено записей: %1. Пропущено: %2.</source>
        <translation>Records added: %1. Skipped: %2.</translation>
    </message>
    <message>
        <source>Вы действительно хотите импортировать все URL из Избранного?</source>
        <translation>Do you really want to import all URLs from Favorites?</translation>
    </message>
    <message>
        <source>Импорт закладок из файла</source>
        <translation>Import Bookmarks from File</translation>
    </message>
    <message>
        <source>Файл закладок (*.html *.htm)</source>
        <translation>Bookmark file (*.html *.htm)</translation>
    </message>
    <message>
        <source>Любой файл (*)</source>
        <translation>Any file (*)</translation>
    </message>
    <message>
        <source>Вы действительно хотите импортировать все закладки из файла %1?</source>
        <translation>Do you really want to import all bookmarks from the file %1?</translation>
    </message>
    <message>
        <source>Закладки браузеров Firefox, Chromium, Chrome, Brave, Vivaldi и Edge не найдены.</source>
        <translation>No Firefox, Chromium, Chrome, Brave, Vivaldi or Edge bookmarks were found.</translation>
    </message>
    <message>
        <source>Закладки браузера (places.sqlite Bookmarks)</source>
        <translation>Browser bookmarks (places.sqlite Bookmarks)</translation>
    </message>
    <message>
        <source>Вы действительно хотите импортировать все закладки браузеров?

%1</source>
        <translation>Do you really want to import all browser bookmarks?

%1</translation>
    </message>
    <message>
        <source>Чтение файла...</source>
        <translation>Reading the file...</translation>
    </message>
    <message>
        <source>и ещё %1</source>
        <translation>and %1 more</translation>
    </message>
    <message>
        <source>Открыть ссылку</source>
        <translation>Open Link</translation>
    </message>
    <message>
        <source>Состояние ссылки</source>
        <translation>Link status</translation>
    </message>
    <message>
        <source>Код ответа</source>
        <translation>Response code</translation>
    </message>
    <message>
        <source>Проверена</source>
        <translation>Checked</translation>
    </message>
    <message>
        <source>Проверить ссылки...</source>
        <translation>Check Links...</translation>
    </message>
    <message>
        <source>Принять новые адреса</source>
        <translation>Accept New Addresses</translation>
    </message>
    <message>
        <source>Проверить ссылки всех записей в окне (%1)?
«Нет» — только текущей записи.</source>
        <translation>Check the links of all records in the window (%1)?
&quot;No&quot; checks the current record only.</translation>
    </message>
    <message>
        <source>Принять новые адреса перемещённых ссылок всех записей в окне (%1)?
«Нет» — только текущей записи.</source>
        <translation>Accept the new addresses of the moved links of all records in the window (%1)?
&quot;No&quot; takes the current record only.</translation>
    </message>
    <message>
        <source>Среди этих записей нет перемещённых ссылок с известным новым адресом.</source>
        <translation>None of these records has a moved link with a known new address.</translation>
    </message>
    <message>
        <source>%1
    → %2</source>
        <translation>%1
    → %2</translation>
    </message>
    <message>
        <source>…и ещё %1</source>
        <translation>…and %1 more</translation>
    </message>
    <message>
        <source>Заменить адреса (%1) новыми?

%2</source>
        <translation>Replace the addresses (%1) by the new ones?

%2</translation>
    </message>
    <message>
        <source>Посещена</source>
        <translation>Visited</translation>
    </message>
    <message>
        <source>Фильтровать по категории</source>
        <translation>Filter by Category</translation>
    </message>
    <message>
        <source>В список категорий добавлено: %1.</source>
        <translation>Added to the category list: %1.</translation>
    </message>
    <message>
        <source>Список категорий не дополнен: %1</source>
        <translation>The category list was not extended: %1</translation>
    </message>
    <message>
        <source>Найти дубликаты...</source>
        <translation>Find Duplicates...</translation>
    </message>
    <message>
        <source>Экспорт...</source>
        <translation>Export...</translation>
    </message>
    <message>
        <source>Чтение... %1</source>
        <translation>Reading... %1</translation>
    </message>
    <message>
        <source>Импорт... %1 из %2</source>
        <translation>Importing... %1 of %2</translation>
    </message>
    <message>
        <source>Импорт прерван, ничего не записано.</source>
        <translation>Import stopped, nothing was written.</translation>
    </message>
    <message>
        <source>Объединено с имеющимися: %1.</source>
        <translation>Merged into existing records: %1.</translation>
    </message>
    <message>
        <source>Таблица CSV (*.csv)</source>
        <translation>CSV table (*.csv)</translation>
    </message>
    <message>
        <source>Экспорт... %1 из %2</source>
        <translation>Exporting... %1 of %2</translation>
    </message>
    <message>
        <source>Экспорт прерван; записанные ярлыки остались в %1.</source>
        <translation>Export stopped; the shortcuts written so far remain in %1.</translation>
    </message>
    <message>
        <source>Экспорт прерван, файл %1 не записан.</source>
        <translation>Export stopped, the file %1 was not written.</translation>
    </message>
    <message>
        <source>Записей экспортировано: %1 в %2.</source>
        <translation>Records exported: %1 to %2.</translation>
    </message>
    <message>
        <source>Заменено адресов: %1. Не заменены (%2): эти записи изменены после проверки или удалены, их адреса оставлены как есть.

%3</source>
        <translation>Addresses replaced: %1. Not replaced (%2): these records were changed after the check or deleted; their addresses are left as they are.

%3</translation>
    </message>
    <message>
        <source>Адрес «%1» уже есть в каталоге: открыта его запись.</source>
        <translation>The address “%1” is already in the catalogue: its record is opened.</translation>
    </message>
    <message>
        <source>Адрес</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>Ссылка «%1» не добавлена: поле «%2» длиной %3 знаков, а каталог хранит не более %4.</source>
        <translation>The link “%1” was not added: the field “%2” is %3 characters long, and the catalogue holds at most %4.</translation>
    </message>
</context>
<context>
    <name>TWindowsListForm</name>
    <message>
        <source>Список окон</source>
        <translation>Window List</translation>
    </message>
    <message>
        <source>&amp;ОК</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>UtilsUnit</name>
    <message>
        <source>Не удалось открыть адрес в браузере: %1
Проверьте, какой браузер выбран в системе по умолчанию.</source>
        <translation>Could not open the address in the browser: %1
Check which browser the system uses by default.</translation>
    </message>
    <message>
        <source>Адрес не открыт: %1
Причина: %2. Открываются только веб-адреса (http, https, ftp) и почта (mailto).</source>
        <translation>The address was not opened: %1
Reason: %2. Only web addresses (http, https, ftp) and mail (mailto) are opened.</translation>
    </message>
</context>
<context>
    <name>WebAddress</name>
    <message>
        <source>нет адреса</source>
        <translation>no address</translation>
    </message>
    <message>
        <source>управляющий символ в адресе</source>
        <translation>a control character in the address</translation>
    </message>
    <message>
        <source>путь к локальному файлу</source>
        <translation>a path to a local file</translation>
    </message>
    <message>
        <source>схема «%1:» не веб-адрес и не почта</source>
        <translation>the scheme &quot;%1:&quot; is neither web nor mail</translation>
    </message>
    <message>
        <source>письмо с вложенным файлом</source>
        <translation>a letter with a file attached</translation>
    </message>
</context>
</TS>
