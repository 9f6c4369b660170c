#include <platform/SecretServiceKeychain.h>

// GLib names struct members "signals", which Qt defines as a keyword.
#undef signals
#include <libsecret/secret.h>

#include <memory>
#include <mutex>

namespace quillory {

namespace {

struct GLibDeleter
{
    void operator()(GError *error) const { g_error_free(error); }
    void operator()(SecretService *service) const { g_object_unref(service); }
    void operator()(SecretCollection *collection) const { g_object_unref(collection); }
    void operator()(GHashTable *table) const { g_hash_table_unref(table); }
    void operator()(SecretValue *value) const { secret_value_unref(value); }
    void operator()(GList *items) const { g_list_free_full(items, g_object_unref); }
};
template <typename T> using GLibPointer = std::unique_ptr<T, GLibDeleter>;

// libsecret's synchronous calls run a private main loop each; one at a time keeps two
// threads' prompts from interleaving.
std::mutex &keychainMutex()
{
    static std::mutex mutex;
    return mutex;
}

const SecretSchema &itemSchema()
{
    static const SecretSchema schema = [] {
        SecretSchema built{};
        built.name = "com.quillory.Keychain";
        // Items are found by their attributes alone, whichever program wrote them.
        built.flags = SECRET_SCHEMA_DONT_MATCH_NAME;
        built.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
        built.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return built;
    }();
    return schema;
}

GLibPointer<GHashTable> attributesFor(const QString &service, const QString &account)
{
    const QByteArray serviceText = service.toUtf8();
    const QByteArray accountText = account.toUtf8();
    return GLibPointer<GHashTable>(secret_attributes_build(&itemSchema(), "service",
                                                           serviceText.constData(), "account",
                                                           accountText.constData(), nullptr));
}

GLibPointer<SecretService> connectToService(Keychain::Status *status)
{
    GError *error = nullptr;
    GLibPointer<SecretService> service(
        secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, &error));
    GLibPointer<GError> owned(error);
    if (!service)
        *status = SecretServiceKeychain::statusFor(error);
    return service;
}

// The default collection, unlocked (which may show the service's prompt).
Keychain::Status unlockDefaultCollection(SecretService *service)
{
    GError *error = nullptr;
    GLibPointer<SecretCollection> collection(secret_collection_for_alias_sync(
        service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, &error));
    GLibPointer<GError> owned(error);
    if (error != nullptr)
        return SecretServiceKeychain::statusFor(error);
    if (!collection)
        return Keychain::Status::NoService; // a service with no keyring to keep items in
    if (!secret_collection_get_locked(collection.get()))
        return Keychain::Status::Ok;
    GList *objects = g_list_append(nullptr, collection.get());
    secret_service_unlock_sync(service, objects, nullptr, nullptr, &error);
    g_list_free(objects);
    owned.reset(error);
    if (error != nullptr)
        return SecretServiceKeychain::statusFor(error);
    return secret_collection_get_locked(collection.get()) ? Keychain::Status::Locked
                                                          : Keychain::Status::Ok;
}

// Every item of the account, unlocked where the service agreed to unlock it.
GLibPointer<GList> findItems(SecretService *service, GHashTable *attributes,
                             Keychain::Status *status)
{
    GError *error = nullptr;
    const auto flags = static_cast<SecretSearchFlags>(SECRET_SEARCH_ALL | SECRET_SEARCH_UNLOCK |
                                                      SECRET_SEARCH_LOAD_SECRETS);
    GLibPointer<GList> items(
        secret_service_search_sync(service, &itemSchema(), attributes, flags, nullptr, &error));
    GLibPointer<GError> owned(error);
    if (error != nullptr)
        *status = SecretServiceKeychain::statusFor(error);
    else if (!items)
        *status = Keychain::Status::NotFound;
    else
        *status = Keychain::Status::Ok;
    return items;
}

// The account's items; each keeps the service it came from alive.
GLibPointer<GList> findAccountItems(const QString &service, const QString &account,
                                    Keychain::Status *status)
{
    const auto secretService = connectToService(status);
    if (!secretService)
        return nullptr;
    const auto attributes = attributesFor(service, account);
    return findItems(secretService.get(), attributes.get(), status);
}

} // namespace

Keychain::Status SecretServiceKeychain::add(const QString &service, const QString &account,
                                            const QByteArray &value, Protection protection)
{
    const std::lock_guard lock(keychainMutex());
    Status status = Status::Ok;
    const auto secretService = connectToService(&status);
    if (!secretService)
        return status;
    status = unlockDefaultCollection(secretService.get());
    if (status != Status::Ok)
        return status;
    // The Secret Service keeps no per-item protection; the label tells a person looking at
    // their keyring what the item is for.
    const QByteArray label =
        (QStringLiteral("Quillory: ") + account +
         (protection == Protection::UserPresence ? QStringLiteral(" (read after a fingerprint)")
                                                 : QString()))
            .toUtf8();
    GLibPointer<SecretValue> secret(
        secret_value_new(value.constData(), value.size(), "application/octet-stream"));
    const auto attributes = attributesFor(service, account);
    GError *error = nullptr;
    // An item with the same attributes is replaced, never duplicated.
    const bool stored = secret_service_store_sync(secretService.get(), &itemSchema(),
                                                  attributes.get(), SECRET_COLLECTION_DEFAULT,
                                                  label.constData(), secret.get(), nullptr, &error);
    GLibPointer<GError> owned(error);
    return stored ? Status::Ok : SecretServiceKeychain::statusFor(error);
}

Keychain::Status SecretServiceKeychain::copy(const QString &service, const QString &account,
                                             QByteArray *value)
{
    const std::lock_guard lock(keychainMutex());
    Status status = Status::Ok;
    const auto items = findAccountItems(service, account, &status);
    if (status != Status::Ok)
        return status;
    auto *item = static_cast<SecretItem *>(items->data);
    if (secret_item_get_locked(item))
        return Status::Locked; // the unlock prompt was dismissed or could not be shown
    GLibPointer<SecretValue> secret(secret_item_get_secret(item));
    if (!secret)
        return Status::Failed;
    gsize length = 0;
    const gchar *bytes = secret_value_get(secret.get(), &length);
    *value = QByteArray(bytes, static_cast<qsizetype>(length));
    return Status::Ok;
}

Keychain::Status SecretServiceKeychain::remove(const QString &service, const QString &account)
{
    const std::lock_guard lock(keychainMutex());
    Status status = Status::Ok;
    const auto items = findAccountItems(service, account, &status);
    if (status != Status::Ok)
        return status;
    for (GList *entry = items.get(); entry != nullptr; entry = entry->next) {
        auto *item = static_cast<SecretItem *>(entry->data);
        if (secret_item_get_locked(item))
            return Status::Locked;
        GError *error = nullptr;
        const bool deleted = secret_item_delete_sync(item, nullptr, &error);
        GLibPointer<GError> owned(error);
        if (!deleted)
            return SecretServiceKeychain::statusFor(error);
    }
    return Status::Ok;
}

std::unique_ptr<Keychain> Keychain::create()
{
    return std::make_unique<SecretServiceKeychain>();
}

Keychain::Status SecretServiceKeychain::statusFor(const GError *error)
{
    if (error == nullptr)
        return Keychain::Status::Failed;
    if (g_error_matches(error, SECRET_ERROR, SECRET_ERROR_IS_LOCKED) ||
        g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED))
        return Keychain::Status::Locked;
    // The item went between finding it and acting on it.
    if (g_error_matches(error, SECRET_ERROR, SECRET_ERROR_NO_SUCH_OBJECT))
        return Keychain::Status::NotFound;
    if (error->domain == G_DBUS_ERROR) {
        switch (error->code) {
        case G_DBUS_ERROR_ACCESS_DENIED:
        case G_DBUS_ERROR_AUTH_FAILED:
            return Keychain::Status::Denied;
        case G_DBUS_ERROR_SERVICE_UNKNOWN:
        case G_DBUS_ERROR_NAME_HAS_NO_OWNER:
        case G_DBUS_ERROR_NO_SERVER:
        case G_DBUS_ERROR_DISCONNECTED:
        case G_DBUS_ERROR_UNKNOWN_OBJECT:
        case G_DBUS_ERROR_UNKNOWN_METHOD:
        case G_DBUS_ERROR_SPAWN_EXEC_FAILED:
        case G_DBUS_ERROR_SPAWN_CHILD_EXITED:
        case G_DBUS_ERROR_SPAWN_FAILED:
        case G_DBUS_ERROR_SPAWN_SERVICE_NOT_FOUND:
        // A daemon that died in the call, or is still starting at login: a caller that took
        // this for a store without its items would act on what it never learnt.
        case G_DBUS_ERROR_NO_REPLY:
        case G_DBUS_ERROR_TIMEOUT:
        case G_DBUS_ERROR_TIMED_OUT:
        case G_DBUS_ERROR_LIMITS_EXCEEDED:
        case G_DBUS_ERROR_NO_MEMORY:
            return Keychain::Status::NoService;
        default:
            return Keychain::Status::Failed;
        }
    }
    // No session bus, or one that cannot be reached.
    if (error->domain == G_IO_ERROR)
        return Keychain::Status::NoService;
    return Keychain::Status::Failed;
}

} // namespace quillory
